#include "shell/illegal_opcode_dialog.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "machine/host_interface.h"
#include "session/calculator/illegal_opcode_text.h"
#include "shell/icons.h"
#include "z80/cpu_registers.h"

namespace vantrel {

namespace {

// Layout in dialog units: a quarter of the average character width across, an
// eighth of the font height down.
struct DialogUnits {
    explicit DialogUnits(const QFontMetrics& fm)
        : x(fm.horizontalAdvance(
                QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
            52.0),
          y(fm.height()) {}
    QRect rect(int left, int top, int width, int height) const {
        return QRect(qRound(left * x / 4), qRound(top * y / 8), qRound(width * x / 4),
                     qRound(height * y / 8));
    }
    double x;
    double y;
};

QLabel* label(QWidget* parent, const DialogUnits& du, const QString& text, QRect r, int id = 0,
              Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(r);
    l->setAlignment(align);
    if (id) {
        l->setObjectName(QStringLiteral("control%1").arg(id));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // The values are hexadecimal columns: a fixed-pitch font keeps them aligned.
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPointSizeF(l->font().pointSizeF());
        l->setFont(mono);
    }
    (void)du;
    return l;
}

}  // namespace

IllegalOpcodeDialog::IllegalOpcodeDialog(const IllegalOpcodeSnapshot& snapshot, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Error"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    const DialogUnits du(fontMetrics());
    // Wider than the nominal units where the fixed-pitch byte rows need it.
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(font().pointSizeF());
    const int bytesWidth = QFontMetrics(mono).horizontalAdvance(QString(48, QLatin1Char('0')));

    auto* icon = new QLabel(this);
    const QRect iconRect = du.rect(10, 8, 21, 20);
    const int side = qMin(iconRect.width(), iconRect.height());
    icon->setPixmap(errorChipIcon().pixmap(QSize(side, side)));
    icon->setGeometry(iconRect);

    const CpuRegisters& r = snapshot.registers;
    auto text = [](const std::string& s) { return QString::fromStdString(s); };
    label(this, du, QStringLiteral("Illegal opcode (hex) : "), du.rect(51, 10, 68, 12));
    label(this, du, text(illegalOpcodeText(snapshot)), du.rect(122, 10, 40, 8), 1002);

    auto* registers = new QGroupBox(QStringLiteral("Register:"), this);
    registers->setGeometry(du.rect(10, 38, 210, 35));
    auto* bytes = new QGroupBox(QStringLiteral("Bytes (hex) : "), this);
    bytes->setGeometry(du.rect(10, 83, 210, 35));
    registers->lower();
    bytes->lower();

    struct Reg {
        const char* name;
        int x, y, nameWidth;
    };
    // AF, BC, DE, HL, IX, IY, SP, PC: controls 1005 to 1012.
    const Reg regs[] = {
        {"AF:", 15, 48, 12},  {"BC:", 15, 58, 12},  {"DE:", 65, 48, 13},  {"HL:", 65, 58, 12},
        {"IX:", 115, 48, 10}, {"IY:", 115, 58, 10}, {"SP:", 165, 48, 12}, {"PC:", 165, 58, 12},
    };
    const auto values = illegalOpcodeRegisterTexts(r);
    for (int i = 0; i < 8; ++i) {
        const Reg& reg = regs[i];
        label(this, du, QString::fromLatin1(reg.name), du.rect(reg.x, reg.y, reg.nameWidth, 8));
        label(this, du, text(values[i]), du.rect(reg.x + 15, reg.y, 30, 8), 1005 + i);
    }

    label(this, du, QStringLiteral("before:"), du.rect(15, 93, 23, 8), 0,
          Qt::AlignRight | Qt::AlignTop);
    QRect beforeRect = du.rect(45, 93, 165, 10);
    beforeRect.setWidth(qMax(beforeRect.width(), bytesWidth));
    label(this, du, text(illegalOpcodeByteLine(snapshot.bytesBefore)), beforeRect, 1003);
    label(this, du, QStringLiteral("after:"), du.rect(21, 103, 17, 8), 0,
          Qt::AlignRight | Qt::AlignTop);
    QRect afterRect = du.rect(45, 103, 165, 10);
    afterRect.setWidth(qMax(afterRect.width(), bytesWidth));
    label(this, du, text(illegalOpcodeByteLine(snapshot.bytesAfter)), afterRect, 1004);

    label(this, du, QStringLiteral("Do you want to continue?"), du.rect(10, 128, 88, 12));

    auto* no = new QPushButton(QStringLiteral("No"), this);
    no->setObjectName(QStringLiteral("control7"));
    no->setGeometry(du.rect(10, 143, 50, 14));
    no->setDefault(true);
    no->setFocus();
    auto* yes = new QPushButton(QStringLiteral("Yes"), this);
    yes->setObjectName(QStringLiteral("control6"));
    yes->setGeometry(du.rect(70, 143, 50, 14));
    connect(no, &QPushButton::clicked, this, [this] { done(0); });
    connect(yes, &QPushButton::clicked, this, [this] { done(1); });

    QSize size = du.rect(0, 0, 232, 167).size();
    size.setWidth(qMax(size.width(),
                       qMax(beforeRect.right(), afterRect.right()) + du.rect(0, 0, 10, 0).width()));
    setFixedSize(size);
    if (size.width() > du.rect(0, 0, 220, 0).width()) {
        registers->resize(size.width() - 2 * registers->x(), registers->height());
        bytes->resize(size.width() - 2 * bytes->x(), bytes->height());
    }
}

IllegalOpcodeAnswer IllegalOpcodeDialog::ask(const IllegalOpcodeSnapshot& snapshot,
                                             QWidget* parent) {
    IllegalOpcodeDialog dialog(snapshot, parent);
    return dialog.exec() == 1 ? IllegalOpcodeAnswer::carryOn : IllegalOpcodeAnswer::stop;
}

}  // namespace vantrel
