#include "window/SummaryBox.h"

#include "core/PathHelpers.h"
#include "core/SummaryText.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {
constexpr int kMargin = 3;
}

SummaryBox::SummaryBox(SummaryText* text, QWidget* parent) : QAbstractScrollArea(parent), text_(text)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    connect(text_, &SummaryText::Changed, this, &SummaryBox::TextChanged);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
}

int SummaryBox::LineHeight() const { return std::max(1, fontMetrics().lineSpacing()); }

int SummaryBox::LinesPerPage() const { return std::max(1, (viewport()->height() - 2 * kMargin) / LineHeight()); }

void SummaryBox::TextChanged()
{
    // Measure the line with the most characters; lines that turn out wider
    // in view widen the range as they are drawn.
    qsizetype longest = -1;
    qsizetype longestLength = -1;
    for (qsizetype line = 0; line < text_->LineCount(); ++line) {
        if (const qsizetype length = text_->LineLength(line); length > longestLength) {
            longest = line;
            longestLength = length;
        }
    }
    widestLine_ = longest < 0 ? 0 : fontMetrics().horizontalAdvance(text_->Line(longest));
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    UpdateScrollBars();
    viewport()->update();
}

void SummaryBox::UpdateScrollBars()
{
    const int page = LinesPerPage();
    const auto count = static_cast<int>(std::min<qsizetype>(text_->LineCount(), INT_MAX));
    verticalScrollBar()->setRange(0, std::max(0, count - page));
    verticalScrollBar()->setPageStep(page);
    verticalScrollBar()->setSingleStep(1);
    const int visibleWidth = viewport()->width() - 2 * kMargin;
    horizontalScrollBar()->setRange(0, std::max(0, widestLine_ - visibleWidth));
    horizontalScrollBar()->setPageStep(std::max(1, visibleWidth));
    horizontalScrollBar()->setSingleStep(std::max(1, fontMetrics().averageCharWidth()));
}

void SummaryBox::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    const int lineHeight = LineHeight();
    const int ascent = fontMetrics().ascent();
    const int x = kMargin - horizontalScrollBar()->value();
    const qsizetype first = verticalScrollBar()->value();
    const qsizetype last = std::min<qsizetype>(text_->LineCount(), first + LinesPerPage() + 1);
    bool widened = false;
    for (qsizetype i = first; i < last; ++i) {
        const int y = kMargin + static_cast<int>(i - first) * lineHeight + ascent;
        const QString line = ReadableText(text_->Line(i));
        painter.drawText(x, y, line);
        const int width = fontMetrics().horizontalAdvance(line);
        if (width > widestLine_) {
            widestLine_ = width;
            widened = true;
        }
    }
    if (widened)
        UpdateScrollBars();
}

void SummaryBox::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void SummaryBox::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        TextChanged();
}

void SummaryBox::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        QString text;
        for (const QString& line : text_->Lines())
            text += ReadableText(line) + QStringLiteral("\r\n");
        QApplication::clipboard()->setText(text);
        return;
    }
    QScrollBar* vertical = verticalScrollBar();
    QScrollBar* horizontal = horizontalScrollBar();
    switch (event->key()) {
    case Qt::Key_Up: vertical->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Down: vertical->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_PageUp: vertical->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case Qt::Key_PageDown: vertical->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case Qt::Key_Left: horizontal->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Right: horizontal->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_Home: vertical->triggerAction(QAbstractSlider::SliderToMinimum); break;
    case Qt::Key_End: vertical->triggerAction(QAbstractSlider::SliderToMaximum); break;
    default: QAbstractScrollArea::keyPressEvent(event); break;
    }
}
