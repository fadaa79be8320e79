#pragma once
// A dialog as its template lays it out: each control at its place in dialog units with its
// caption, and the order in which Tab visits them.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QRect>
#include <QStringList>
#include <span>

#include "res/Strings.h"
#include "ui/DialogUnits.h"

struct TemplateControl {
    const char* id;
    QRect units;
    const char* caption;  // a button's; null for a control without one
};

// Checks every control's place, and every button's caption.
inline void ExpectTemplatePlaces(const QWidget& dialog, std::span<const TemplateControl> controls) {
    const DialogUnits du(dialog.font());
    for (const TemplateControl& c : controls) {
        auto* widget = dialog.findChild<QWidget*>(c.id);
        ASSERT_NE(widget, nullptr) << c.id;
        EXPECT_EQ(widget->geometry(),
                  du.ToPixels(c.units.x(), c.units.y(), c.units.width(), c.units.height()))
            << c.id;
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            EXPECT_EQ(button->text(), Str::Text(c.caption)) << c.id;
        }
    }
}

inline QStringList IdsOf(std::span<const TemplateControl> controls) {
    QStringList ids;
    for (const TemplateControl& c : controls) {
        ids << c.id;
    }
    return ids;
}

// The named controls Tab visits, from `first` round to it again.
inline QStringList TabOrder(QWidget* first) {
    QStringList order;
    QWidget* widget = first;
    for (int i = 0; i < 40 && (i == 0 || widget != first); ++i, widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() & Qt::TabFocus && !widget->objectName().isEmpty()) {
            order << widget->objectName();
        }
    }
    return order;
}
