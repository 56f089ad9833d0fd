#pragma once

#include <QProgressBar>

// A progress bar that shows its text as it is. The bar's own format would
// turn "%p", "%v" and "%m" in a file name into numbers, and has no escape.
class TextProgressBar final : public QProgressBar {
    Q_OBJECT

public:
    using QProgressBar::QProgressBar;

    QString text() const override { return text_; }
    void SetText(const QString& text)
    {
        text_ = text;
        update();
    }

private:
    QString text_;
};
