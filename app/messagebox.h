#ifndef ZAVIRON_MESSAGEBOX_H
#define ZAVIRON_MESSAGEBOX_H

#include <QMessageBox>
#include <QString>

#include <functional>

/// Every message box of the program is built and run here: no parent, the program's title, an icon, a text, an
/// optional informative text, relabelled standard buttons and an optional spacer that sets a minimum width.
/// Tests answer boxes through setAnswerer instead of a modal loop.
namespace MessageBoxes {

extern const char *const Title; ///< "УСТАНОВКА ДОПОЛНИТЕЛЬНОГО ПО В UBUNTU"

/// Adds a spacer of width x 0 pixels in a new last row spanning the box's grid, so the box is at least that wide.
void addSpacer(QMessageBox *box, int width);

/// A box with the single button Close labelled "Закрыть".
QMessageBox *closeBox(QMessageBox::Icon icon, const QString &text, const QString &informative = QString(),
                      int spacerWidth = 0, const char *context = "FormMain");

/// A warning box with Close, 520 pixels wide at least, whose text is shown as plain text: for texts that carry what
/// the program does not control (apt's words, catalogue fields, folder names), which must never be read as markup.
QMessageBox *plainWarning(const QString &text, const QString &informative, const char *context = "FormMain");

/// A box with Yes "Да" and No "Нет".
QMessageBox *yesNoBox(QMessageBox::Icon icon, const QString &text, const QString &informative = QString(),
                      QMessageBox::StandardButton defaultButton = QMessageBox::NoButton, int spacerWidth = 0,
                      const char *context = "FormMain");

/// Runs the box modally (or hands it to the test answerer), deletes it and returns the button pressed.
int run(QMessageBox *box);

/// Tests: called with every box instead of exec(); returns the standard button that answers it.
using Answerer = std::function<int(QMessageBox *)>;
void setAnswerer(Answerer answerer);

} // namespace MessageBoxes

#endif
