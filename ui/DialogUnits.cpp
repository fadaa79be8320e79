#include "ui/DialogUnits.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QStyle>
#include <QWidget>

#include "res/Strings.h"
#include "ui/HelpContext.h"

namespace {

// Replacements for the template fonts, best first: a fixed-pitch gothic for "ＭＳ ゴシック", a
// proportional one for "ＭＳ Ｐゴシック".
QStringList Replacements(const QString& family) {
    const QString mono = QStringLiteral("Noto Sans Mono CJK JP");
    const QString proportional = QStringLiteral("Noto Sans CJK JP");
    if (family == Str::Text(Str::kAboutFont)) {
        return {proportional, mono};
    }
    return {mono, proportional};
}

// Rounds a * b / c to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average width over the 52 letters, rounded: the templates' coordinates are in units of
    // this width as the platform computes it, so any other average would misplace the controls.
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (letters / 26 + 1) / 2;
    m_baseY = metrics.height();
}

QFont DialogUnits::DialogFont(const char* family, int points) {
    const QString named = Str::Text(family);
    QString chosen = named;
    if (!QFontDatabase::hasFamily(named)) {
        for (const QString& candidate : Replacements(named)) {
            if (QFontDatabase::hasFamily(candidate)) {
                chosen = candidate;
                break;
            }
        }
    }
    QFont font(chosen, points);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

int DialogUnits::X(int units) const {
    return MulDiv(units, m_baseX, 4);
}

int DialogUnits::Y(int units) const {
    return MulDiv(units, m_baseY, 8);
}

void DialogUnits::Place(QWidget* widget, int x, int y, int cx, int cy) const {
    widget->setGeometry(ToPixels(x, y, cx, cy));
}

void FitCaption(QAbstractButton* button) {
    const QStyle* style = button->style();
    const int chrome = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                       2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    const int available = button->width() - chrome;
    const int needed = button->fontMetrics().horizontalAdvance(button->text());
    if (needed <= available || available <= 0) {
        return;
    }
    constexpr int kNarrowest = 60;  // percent; narrower is no longer readable
    QFont font = button->font();
    font.setStretch(std::max(kNarrowest, available * 100 / needed));
    button->setFont(font);
}

QPushButton* AddTemplateButton(QWidget* parent, const DialogUnits& du, const char* caption, const char* id,
                               int x, int y, int cx, int cy) {
    auto* button = new QPushButton(Str::Text(caption), parent);
    button->setObjectName(QString::fromLatin1(id));
    du.Place(button, x, y, cx, cy);
    return button;
}

QLabel* AddTemplateLabel(QWidget* parent, const DialogUnits& du, const char* text, int x, int y, int cx,
                         int cy) {
    auto* label = new QLabel(Str::Text(text), parent);
    label->setTextFormat(Qt::PlainText);
    du.Place(label, x, y, cx, cy);
    return label;
}

DialogUnits ApplyTemplate(QDialog* dialog, const DialogTemplate& dialogTemplate) {
    dialog->setObjectName(QString::fromLatin1(dialogTemplate.id));
    dialog->setWindowTitle(Str::Text(dialogTemplate.caption));
    HelpContext::Set(dialog, HelpContext::ForDialog(dialogTemplate.templateId));
    dialog->setFont(DialogUnits::DialogFont(dialogTemplate.font));
    const DialogUnits du(dialog->font());
    dialog->setFixedSize(du.ToPixels(dialogTemplate.cx, dialogTemplate.cy));
    return du;
}
