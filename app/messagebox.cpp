#include "app/messagebox.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QPushButton>
#include <QSpacerItem>

namespace {

MessageBoxes::Answerer g_answerer;

QMessageBox *makeBox(QMessageBox::Icon icon, const QString &text, const QString &informative)
{
    auto *box = new QMessageBox();
    box->setWindowTitle(QString::fromUtf8(MessageBoxes::Title));
    box->setIcon(icon);
    box->setText(text);
    if (!informative.isEmpty())
        box->setInformativeText(informative);
    return box;
}

void label(QMessageBox *box, QMessageBox::StandardButton which, const char *context, const char *text)
{
    // addButton, not setStandardButtons: the latter makes all standard buttons anew and drops earlier labels.
    box->addButton(which)->setText(QCoreApplication::translate(context, text));
}

} // namespace

const char *const MessageBoxes::Title = "УСТАНОВКА ДОПОЛНИТЕЛЬНОГО ПО В UBUNTU";

void MessageBoxes::addSpacer(QMessageBox *box, int width)
{
    auto *grid = qobject_cast<QGridLayout *>(box->layout());
    if (!grid || width <= 0)
        return;
    auto *spacer = new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding);
    grid->addItem(spacer, grid->rowCount(), 0, 1, grid->columnCount());
}

QMessageBox *MessageBoxes::closeBox(QMessageBox::Icon icon, const QString &text, const QString &informative,
                                    int spacerWidth, const char *context)
{
    QMessageBox *box = makeBox(icon, text, informative);
    label(box, QMessageBox::Close, context, "Закрыть");
    addSpacer(box, spacerWidth);
    return box;
}

QMessageBox *MessageBoxes::plainWarning(const QString &text, const QString &informative, const char *context)
{
    QMessageBox *box = closeBox(QMessageBox::Warning, text, informative, 520, context);
    box->setTextFormat(Qt::PlainText);
    return box;
}

QMessageBox *MessageBoxes::yesNoBox(QMessageBox::Icon icon, const QString &text, const QString &informative,
                                    QMessageBox::StandardButton defaultButton, int spacerWidth, const char *context)
{
    QMessageBox *box = makeBox(icon, text, informative);
    label(box, QMessageBox::Yes, context, "Да");
    label(box, QMessageBox::No, context, "Нет");
    if (defaultButton != QMessageBox::NoButton)
        box->setDefaultButton(defaultButton);
    addSpacer(box, spacerWidth);
    return box;
}

int MessageBoxes::run(QMessageBox *box)
{
    const int answer = g_answerer ? g_answerer(box) : box->exec();
    delete box;
    return answer;
}

void MessageBoxes::setAnswerer(Answerer answerer) { g_answerer = std::move(answerer); }
