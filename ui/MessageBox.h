#pragma once
// The program's message boxes: the program name as title, the help topic of their text.

#include <QMessageBox>

class QWidget;

// Shows `text` modally over `owner` with an exclamation icon and returns the button chosen.
// `stringId` selects the help topic; 0 leaves the topic to the owner window.
QMessageBox::StandardButton ShowExclamation(QWidget* owner, const QString& text, int stringId,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok);
