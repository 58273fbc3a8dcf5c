#pragma once
// Widgets the view draws itself: the start and stop pictures, the shapes of
// the switch picture and plain lines.

#include <QColor>
#include <QWidget>
#include <functional>

namespace mirvok {

// A picture that reports mouse button releases over it.
class IconPicture : public QWidget {
public:
    enum class Icon { Start, Stop };
    IconPicture(Icon icon, QWidget* parent);

    // Drawn greyed while the action it stands for is not available.
    void SetAvailable(bool available);
    bool Available() const { return available_; }

    std::function<void(Qt::MouseButton)> OnRelease;

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Icon icon_;
    bool available_ = true;
};

// A filled rectangle with a thin dark border.
class ShapeWidget : public QWidget {
public:
    explicit ShapeWidget(QWidget* parent);
    void SetFill(const QColor& colour);
    QColor Fill() const { return fill_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor fill_;
};

// A line as wide or as high as the widget, in one colour.
class LineWidget : public QWidget {
public:
    explicit LineWidget(QWidget* parent);
    void SetColour(const QColor& colour);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor colour_;
};

}  // namespace mirvok
