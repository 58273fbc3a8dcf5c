#include "PaintedWidgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace mirvok {

IconPicture::IconPicture(Icon icon, QWidget* parent) : QWidget(parent), icon_(icon) {}

void IconPicture::SetAvailable(bool available) {
    if (available_ == available) return;
    available_ = available;
    update();
}

// Start: a green disc with a white "play" triangle. Stop: a red octagon with
// a white square. Both grey while not available.
void IconPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(2, 2, -2, -2);
    const QColor body = !available_            ? QColor(160, 160, 160)
                        : icon_ == Icon::Start ? QColor(0, 160, 60)
                                               : QColor(210, 30, 30);
    p.setPen(QPen(body.darker(140), 1.5));
    p.setBrush(body);
    if (icon_ == Icon::Start) {
        p.drawEllipse(r);
        const QPointF c = r.center();
        const double s = r.width() / 4;
        const QPointF triangle[] = {
            {c.x() - s * 0.7, c.y() - s}, {c.x() - s * 0.7, c.y() + s}, {c.x() + s, c.y()}};
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPolygon(triangle, 3);
    } else {
        const double k = r.width() * 0.29;  // corner cut of a regular octagon
        QPainterPath octagon;
        octagon.moveTo(r.left() + k, r.top());
        octagon.lineTo(r.right() - k, r.top());
        octagon.lineTo(r.right(), r.top() + k);
        octagon.lineTo(r.right(), r.bottom() - k);
        octagon.lineTo(r.right() - k, r.bottom());
        octagon.lineTo(r.left() + k, r.bottom());
        octagon.lineTo(r.left(), r.bottom() - k);
        octagon.lineTo(r.left(), r.top() + k);
        octagon.closeSubpath();
        p.drawPath(octagon);
        const double s = r.width() / 4.5;
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(r.center().x() - s, r.center().y() - s, 2 * s, 2 * s));
    }
}

void IconPicture::mouseReleaseEvent(QMouseEvent* event) {
    if (OnRelease && rect().contains(event->position().toPoint())) OnRelease(event->button());
}

ShapeWidget::ShapeWidget(QWidget* parent) : QWidget(parent) {}

void ShapeWidget::SetFill(const QColor& colour) {
    if (fill_ == colour) return;
    fill_ = colour;
    update();
}

void ShapeWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(fill_);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

LineWidget::LineWidget(QWidget* parent) : QWidget(parent) {}

void LineWidget::SetColour(const QColor& colour) {
    if (colour_ == colour) return;
    colour_ = colour;
    update();
}

void LineWidget::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), colour_);
}

}  // namespace mirvok
