#pragma once

#include <QAbstractScrollArea>

class SummaryText;

// A read-only text box with both scroll bars that shows a summary. It draws
// only the lines in view, so it stays quick with hundreds of thousands of
// lines. Ctrl+C copies the whole text.
class SummaryBox final : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit SummaryBox(SummaryText* text, QWidget* parent = nullptr);

    int LinesPerPage() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void TextChanged();
    void UpdateScrollBars();
    int LineHeight() const;

    SummaryText* text_;
    int widestLine_ = 0; // in pixels, grows as wider lines come into view
};
