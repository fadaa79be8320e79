#pragma once
// The dialogs are laid out in dialog units, as their templates give them: a horizontal unit is a
// quarter of the dialog font's average character width, a vertical unit an eighth of its height.

#include <QFont>
#include <QRect>
#include <QSize>

class QAbstractButton;
class QDialog;
class QLabel;
class QPushButton;
class QWidget;

class DialogUnits {
public:
    // A large icon's size: a dialog's picture control takes it, whatever its template says.
    static constexpr int kLargeIconPixels = 32;

    explicit DialogUnits(const QFont& font);

    // The named font at `points`, or a Japanese gothic of the same kind where the named one is not
    // installed (without one, every Japanese caption would be drawn as boxes).
    static QFont DialogFont(const char* family, int points = 9);

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

    int X(int units) const;
    int Y(int units) const;
    QSize ToPixels(int cx, int cy) const { return {X(cx), Y(cy)}; }
    QRect ToPixels(int x, int y, int cx, int cy) const { return {X(x), Y(y), X(cx), Y(cy)}; }

    // Puts `widget` at its template rectangle inside its parent's client area.
    void Place(QWidget* widget, int x, int y, int cx, int cy) const;

private:
    int m_baseX;
    int m_baseY;
};

// Narrows the caption's letters just enough to fit a button that the template made too small for
// it (the template's font was narrower than any stand-in), rather than cutting it off.
void FitCaption(QAbstractButton* button);

// Template controls: a push button named by its id (its Qt objectName), and a plain-text label,
// each placed at its rectangle in dialog units.
QPushButton* AddTemplateButton(QWidget* parent, const DialogUnits& du, const char* caption, const char* id,
                               int x, int y, int cx, int cy = 14);
QLabel* AddTemplateLabel(QWidget* parent, const DialogUnits& du, const char* text, int x, int y, int cx,
                         int cy = 8);

// What a dialog takes from its template: its id (the Qt objectName), caption, help topic, font
// and size in dialog units.
struct DialogTemplate {
    const char* id;
    const char* caption;
    int templateId;
    const char* font;
    int cx;
    int cy;
};

// Gives `dialog` its template's name, caption, help topic, font and fixed size; returns the units
// its controls are placed in.
DialogUnits ApplyTemplate(QDialog* dialog, const DialogTemplate& dialogTemplate);
