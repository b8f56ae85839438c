#include "shell/about_box.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "shell/exit_dialog.h"
#include "shell/icons.h"

namespace vantrel {

void showAboutBox(QWidget* parent) {
    QDialog box(parent);
    box.setWindowTitle(QStringLiteral("About"));
    box.setWindowIcon(appIcon());
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(titleBlock(
        &box, {titleText(), creditsLine,
               QStringLiteral(
                   "Vantrel is free to copy and to share. It comes with no warranty of any kind. "
                   "The calculator's ROM is not part of it: use a dump of your own calculator."),
               QStringLiteral("News and updates: <a "
                              "href=\"https://vantrel.example.org/\">vantrel.example.org</a>")}));
    auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    QObject::connect(ok, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(ok);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    box.setMaximumWidth(380);
    box.exec();
}

}  // namespace vantrel
