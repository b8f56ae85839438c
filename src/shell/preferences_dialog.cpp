#include "shell/preferences_dialog.h"

#include <QAbstractSlider>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <limits>

#include "session/calculator/calculator.h"
#include "session/calculator/machine_files.h"
#include "session/keys/key_help.h"
#include "session/screenshots/screenshot.h"
#include "shell/beside_owner.h"
#include "shell/calculator_view.h"
#include "shell/icons.h"
#include "shell/keyboard_help.h"
#include "shell/machine_page.h"

namespace vantrel {

namespace {

constexpr int trackbarStep = 8;  // extra move of an arrow-key step

// ------------------------------------------------------------------------ Misc

class MiscPage : public PreferencesPage {
public:
    MiscPage(QWidget* parent, const Settings& s) : PreferencesPage(parent) {
        // Two columns, so that the page stays short enough for a screen at 2x.
        auto* layout = new QHBoxLayout(this);
        auto* left = new QVBoxLayout;
        layout->addLayout(left);

        auto* configuration = new QGroupBox(QStringLiteral("Configuration"), this);
        auto* configurationLayout = new QVBoxLayout(configuration);
        autoLink_ = addCheck(configurationLayout, "&Link automatically", "autoLinkOnUpload",
                             s.autoLinkOnUpload);
        beep_ = addCheck(configurationLayout, "B&eep on errors", "beepOnErrors", s.beepOnErrors);
        multiple_ = addCheck(configurationLayout, "Allow &multiple instances",
                             "allowMultipleInstances", s.allowMultipleInstances);
        left->addWidget(configuration);

        auto* saveState = new QGroupBox(QStringLiteral("Save state on closing"), this);
        auto* saveLayout = new QVBoxLayout(saveState);
        saveAlways_ = addRadio(saveLayout, "&Always", "SaveStateMode::always");
        saveNever_ = addRadio(saveLayout, "&Never", "SaveStateMode::never");
        saveAsk_ = addRadio(saveLayout, "Show &Dialog", "SaveStateMode::showDialog");
        left->addWidget(saveState);
        left->addStretch();
        (s.saveStateMode == SaveStateMode::always  ? saveAlways_
         : s.saveStateMode == SaveStateMode::never ? saveNever_
                                                   : saveAsk_)
            ->setChecked(true);

        layout->addWidget(buildScreenshotGroup(s), 1, Qt::AlignTop);
        (s.screenshotToFile ? toFile_ : toClipboard_)->click();
        enableScreenshotFields();
    }

    void store(Settings& s) const override {
        s.autoLinkOnUpload = autoLink_->isChecked();
        s.beepOnErrors = beep_->isChecked();
        s.allowMultipleInstances = multiple_->isChecked();
        s.saveStateMode = saveAlways_->isChecked()  ? SaveStateMode::always
                          : saveNever_->isChecked() ? SaveStateMode::never
                                                    : SaveStateMode::showDialog;
        s.screenshotToFile = toFile_->isChecked();
        s.screenshotBase = base_->text().toStdString();
        s.screenshotFormat =
            format_->currentIndex() == 1 ? ScreenshotFormat::png : ScreenshotFormat::bmp;
        s.screenshotScale = scale_->currentIndex() + minZoom;
        s.screenshotFolder = folder_->text().toStdString();
        s.recordKeys = recordKeys_->isChecked();
    }

private:
    QGroupBox* buildScreenshotGroup(const Settings& s) {
        auto* shots = new QGroupBox(QStringLiteral("Screenshot via:"), this);
        auto* grid = new QGridLayout(shots);
        toClipboard_ = new QRadioButton(QStringLiteral("&Clipboard"), shots);
        toClipboard_->setObjectName(QStringLiteral("screenshotToClipboard"));
        toFile_ = new QRadioButton(QStringLiteral("&File"), shots);
        toFile_->setObjectName(QStringLiteral("screenshotToFile"));
        grid->addWidget(toClipboard_, 0, 0, 1, 3);
        grid->addWidget(toFile_, 1, 0, 1, 3);

        base_ = new QLineEdit(QString::fromStdString(s.screenshotBase), shots);
        base_->setObjectName(QStringLiteral("screenshotBase"));
        base_->setMaxLength(static_cast<int>(screenshotBaseLimit));
        baseLabel_ = addRow(grid, 2, "&Basename:", base_);

        format_ = new QComboBox(shots);
        format_->setObjectName(QStringLiteral("screenshotFormat"));
        format_->addItems({QStringLiteral("BMP"), QStringLiteral("PNG")});
        format_->setCurrentIndex(s.screenshotFormat == ScreenshotFormat::png ? 1 : 0);
        formatLabel_ = addRow(grid, 3, "File &type:", format_);

        folder_ = new QLineEdit(QString::fromStdString(s.screenshotFolder), shots);
        folder_->setObjectName(QStringLiteral("screenshotFolder"));
        folder_->setMaxLength(std::numeric_limits<int>::max());
        // As wide as the base name's field with its button, no wider: the page is
        // laid out to fit beside the window on small screens.
        folder_->setSizePolicy(QSizePolicy::Ignored, folder_->sizePolicy().verticalPolicy());
        folder_->setMinimumWidth(folder_->fontMetrics().averageCharWidth() * 12);
        // Empty means the default folder, shown greyed.
        folder_->setPlaceholderText(QString::fromStdString(defaultScreenshotDirectory(s.iniPath)));
        folder_->setToolTip(QStringLiteral("Empty: %1").arg(folder_->placeholderText()));
        browseFolder_ = new QPushButton(QStringLiteral(">>"), shots);
        browseFolder_->setObjectName(QStringLiteral("browseScreenshotFolder"));
        browseFolder_->setFixedWidth(
            browseFolder_->fontMetrics().horizontalAdvance(QStringLiteral(">>")) + 24);
        folderLabel_ = addRow(grid, 4, "F&older:", folder_);
        grid->addWidget(browseFolder_, 4, 2);

        scale_ = new QComboBox(shots);
        scale_->setObjectName(QStringLiteral("screenshotScale"));
        for (int k = minZoom; k <= maxZoom; ++k) scale_->addItem(QStringLiteral("%1x").arg(k));
        scale_->setCurrentIndex(std::clamp(s.screenshotScale, minZoom, maxZoom) - minZoom);
        scale_->setToolTip(
            QStringLiteral("The size of PNG files and of the clipboard's picture; "
                           "BMP files are always 128 x 64"));
        scaleLabel_ = addRow(grid, 5, "&Scale:", scale_);
        recordKeys_ = new QCheckBox(QStringLiteral("&Keys under recordings"), shots);
        recordKeys_->setObjectName(QStringLiteral("recordKeys"));
        recordKeys_->setChecked(s.recordKeys);
        recordKeys_->setToolTip(
            QStringLiteral("Tools > Record Animation draws the last keys pressed below the LCD"));
        grid->addWidget(recordKeys_, 6, 0, 1, 3);

        connect(toFile_, &QRadioButton::toggled, this, [this] { enableScreenshotFields(); });
        connect(format_, &QComboBox::currentIndexChanged, this,
                [this] { enableScreenshotFields(); });
        connect(browseFolder_, &QPushButton::clicked, this, [this] { browseFolder(); });
        return shots;
    }

    QLabel* addRow(QGridLayout* grid, int row, const char* text, QWidget* field) {
        auto* label = new QLabel(QString::fromLatin1(text), field->parentWidget());
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1, 1, field == folder_ ? 1 : 2);
        return label;
    }

    // The base name, the type and the folder only mean something for files; the scale
    // for the clipboard and PNG files.
    void enableScreenshotFields() {
        const bool file = toFile_->isChecked();
        for (QWidget* w : {static_cast<QWidget*>(baseLabel_), static_cast<QWidget*>(base_),
                           static_cast<QWidget*>(formatLabel_), static_cast<QWidget*>(format_),
                           static_cast<QWidget*>(folderLabel_), static_cast<QWidget*>(folder_),
                           static_cast<QWidget*>(browseFolder_)})
            w->setEnabled(file);
        const bool scaled = !file || format_->currentIndex() == 1;
        scaleLabel_->setEnabled(scaled);
        scale_->setEnabled(scaled);
    }

    void browseFolder() {
        QString start = folder_->text();
        if (start.isEmpty()) start = folder_->placeholderText();
        const QString chosen = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Folder for Screenshots"), start);
        if (!chosen.isEmpty()) folder_->setText(chosen);
    }

    QCheckBox* addCheck(QVBoxLayout* layout, const char* text, const char* name, bool on) {
        auto* box = new QCheckBox(QString::fromLatin1(text), this);
        box->setObjectName(QString::fromLatin1(name));
        box->setChecked(on);
        layout->addWidget(box);
        return box;
    }
    QRadioButton* addRadio(QVBoxLayout* layout, const char* text, const char* name) {
        auto* button = new QRadioButton(QString::fromLatin1(text), this);
        button->setObjectName(QString::fromLatin1(name));
        layout->addWidget(button);
        return button;
    }

    QCheckBox* autoLink_;
    QCheckBox* beep_;
    QCheckBox* multiple_;
    QRadioButton* saveAlways_;
    QRadioButton* saveNever_;
    QRadioButton* saveAsk_;
    QRadioButton* toClipboard_;
    QRadioButton* toFile_;
    QLabel* baseLabel_;
    QLineEdit* base_;
    QLabel* formatLabel_;
    QComboBox* format_;
    QLabel* folderLabel_;
    QLineEdit* folder_ = nullptr;
    QPushButton* browseFolder_;
    QLabel* scaleLabel_;
    QComboBox* scale_;
    QCheckBox* recordKeys_;
};

// ---------------------------------------------------------------------- Colors

// The two overlapping swatches: the background behind, the foreground in front.
class Swatches : public QWidget {
public:
    Swatches(QWidget* parent, const uint32_t& foreground, const uint32_t& background)
        : QWidget(parent), foreground_(foreground), background_(background) {
        setObjectName(QStringLiteral("swatches"));
        setFixedSize(72, 56);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect front(0, 0, 44, 34);
        const QRect back(28, 22, 44, 34);
        p.setPen(Qt::black);
        p.fillRect(front, colourFromSetting(foreground_));
        p.drawRect(front.adjusted(0, 0, -1, -1));
        QRegion behind = QRegion(back) - QRegion(front);
        p.setClipRegion(behind);
        p.fillRect(back, colourFromSetting(background_));
        p.drawRect(back.adjusted(0, 0, -1, -1));
    }

private:
    const uint32_t& foreground_;
    const uint32_t& background_;
};

class ColorsPage : public PreferencesPage {
public:
    ColorsPage(QWidget* parent, const Settings& s, ColourFunction testColours)
        : PreferencesPage(parent),
          foreground_(s.foreground),
          background_(s.background),
          testColours_(std::move(testColours)) {
        auto* layout = new QVBoxLayout(this);
        auto* group = new QGroupBox(QStringLiteral("Choose color"), this);
        auto* grid = new QGridLayout(group);

        pickForeground_ = new QRadioButton(QStringLiteral("&Foreground"), group);
        pickForeground_->setObjectName(QStringLiteral("pickForeground"));
        pickBackground_ = new QRadioButton(QStringLiteral("Ba&ckground"), group);
        pickBackground_->setObjectName(QStringLiteral("pickBackground"));
        grid->addWidget(pickForeground_, 0, 0, 1, 2);
        grid->addWidget(pickBackground_, 1, 0, 1, 2);

        const char* labels[3] = {"&R", "&G", "&B"};
        const char* names[3] = {"sliderRed", "sliderGreen", "sliderBlue"};
        const char* valueNames[3] = {"valueRed", "valueGreen", "valueBlue"};
        for (int i = 0; i < 3; ++i) {
            auto* label = new QLabel(QString::fromLatin1(labels[i]), group);
            auto* slider = new QSlider(Qt::Horizontal, group);
            slider->setObjectName(QString::fromLatin1(names[i]));
            slider->setRange(0, 255);
            slider->setPageStep(32);
            label->setBuddy(slider);
            // The value beside its slider, where it can be typed as well.
            auto* value = new QSpinBox(group);
            value->setObjectName(QString::fromLatin1(valueNames[i]));
            value->setRange(0, 255);
            connect(slider, &QSlider::valueChanged, value, &QSpinBox::setValue);
            connect(value, &QSpinBox::valueChanged, slider, &QSlider::setValue);
            grid->addWidget(label, 2 + i, 0);
            grid->addWidget(slider, 2 + i, 1);
            grid->addWidget(value, 2 + i, 2);
            sliders_[i] = slider;
            connect(slider, &QAbstractSlider::actionTriggered, this, [slider](int action) {
                // An arrow-key step goes a further 8 the same way.
                if (action == QAbstractSlider::SliderSingleStepAdd)
                    slider->setSliderPosition(
                        std::min(slider->sliderPosition() + trackbarStep, 255));
                else if (action == QAbstractSlider::SliderSingleStepSub)
                    slider->setSliderPosition(std::max(slider->sliderPosition() - trackbarStep, 0));
            });
            connect(slider, &QSlider::valueChanged, this,
                    [this, i](int value) { componentChanged(i, value); });
        }

        swatches_ = new Swatches(group, foreground_, background_);
        auto* swap = new QToolButton(group);
        swap->setObjectName(QStringLiteral("swapColours"));
        swap->setIcon(colorsPageIcon());
        swap->setIconSize(QSize(24, 24));
        swap->setAutoRaise(true);
        swap->setToolTip(QStringLiteral("Swap foreground and background"));
        auto* test = new QPushButton(QStringLiteral("&Test"), group);
        test->setObjectName(QStringLiteral("testColours"));
        auto* swatchRow = new QHBoxLayout;
        swatchRow->addWidget(swatches_);
        swatchRow->addWidget(swap);
        swatchRow->addStretch();
        swatchRow->addWidget(test);
        grid->addLayout(swatchRow, 5, 0, 1, 3);
        layout->addWidget(group);
        layout->addWidget(buildPresetGroup());
        layout->addStretch();

        connect(pickForeground_, &QRadioButton::toggled, this, [this](bool) { loadSliders(); });
        connect(swap, &QToolButton::clicked, this, [this] {
            std::swap(foreground_, background_);
            loadSliders();
            swatches_->update();
        });
        connect(test, &QPushButton::clicked, this, [this] {
            if (testColours_) testColours_(foreground_, background_);
        });

        pickForeground_->setChecked(true);
        loadSliders();
    }

    void store(Settings& s) const override {
        s.foreground = foreground_;
        s.background = background_;
    }

private:
    // Ready-made pairs, each shown on the LCD at once (as Test does; Cancel undoes it).
    QGroupBox* buildPresetGroup() {
        struct Preset {
            const char* text;
            const char* name;
            uint32_t foreground, background;  // 0x00BBGGRR
        };
        const Settings defaults;
        const Preset presets[] = {
            {"C&lassic", "presetClassic", defaults.foreground, defaults.background},
            {"L&CD", "presetLcd", 0x001E2820, 0x0096B8AA},  // dark on grey-green
            {"&High contrast", "presetHighContrast", 0x00000000, 0x00FFFFFF},
            {"Restore &Defaults", "restoreColourDefaults", defaults.foreground,
             defaults.background},
        };
        auto* group = new QGroupBox(QStringLiteral("Presets"), this);
        auto* row = new QHBoxLayout(group);
        for (const Preset& preset : presets) {
            if (&preset == std::end(presets) - 1) row->addStretch();  // Restore Defaults
            auto* button = new QPushButton(QString::fromLatin1(preset.text), group);
            button->setObjectName(QString::fromLatin1(preset.name));
            row->addWidget(button);
            connect(button, &QPushButton::clicked, this,
                    [this, fg = preset.foreground, bg = preset.background] {
                        foreground_ = fg;
                        background_ = bg;
                        loadSliders();
                        swatches_->update();
                        if (testColours_) testColours_(foreground_, background_);
                    });
        }
        group->setToolTip(
            QStringLiteral("Classic: white on black, as Vantrel starts. LCD: dark on grey-green, "
                           "as the calculator's own screen. High contrast: black on white."));
        return group;
    }

    uint32_t& selected() { return pickForeground_->isChecked() ? foreground_ : background_; }

    void loadSliders() {
        loading_ = true;
        const uint32_t colour = selected();
        for (int i = 0; i < 3; ++i)
            sliders_[i]->setValue(static_cast<int>((colour >> (8 * i)) & 0xFF));
        loading_ = false;
    }

    void componentChanged(int component, int value) {
        if (loading_) return;
        uint32_t& colour = selected();
        const int shift = 8 * component;
        colour = (colour & ~(0xFFu << shift)) | (static_cast<uint32_t>(value) << shift);
        swatches_->update();
    }

    uint32_t foreground_;
    uint32_t background_;
    ColourFunction testColours_;
    bool loading_ = false;
    QRadioButton* pickForeground_;
    QRadioButton* pickBackground_;
    QSlider* sliders_[3];
    Swatches* swatches_;
};

// ----------------------------------------------------------------------- Files

class FilesPage : public PreferencesPage {
public:
    FilesPage(QWidget* parent, const Settings& s) : PreferencesPage(parent), where_(s) {
        auto* layout = new QVBoxLayout(this);

        auto* romGroup = new QGroupBox(QStringLiteral("R&OM-File:"), this);
        auto* romLayout = new QGridLayout(romGroup);
        rom_ = addPathRow(romLayout, s.romPath, "romPath", "browseRom", "ROM-Files (*.bin *.rom)",
                          false);
        testRom_ = new QCheckBox(QStringLiteral("&Test ROM for version 10.0"), romGroup);
        testRom_->setObjectName(QStringLiteral("testRomVersion"));
        testRom_->setChecked(s.testRomVersion);
        romLayout->addWidget(testRom_, 1, 0, 1, 2);
        layout->addWidget(romGroup);

        auto* ramGroup = new QGroupBox(QStringLiteral("R&AM-File (status file):"), this);
        auto* ramLayout = new QGridLayout(ramGroup);
        // A save-style chooser: the state file is written at closing, and may not exist yet.
        ram_ =
            addPathRow(ramLayout, s.ramPath, "ramPath", "browseRam", "State files (*.bin)", true);
        layout->addWidget(ramGroup);
        layout->addStretch();
    }

    void store(Settings& s) const override {
        s.romPath = rom_->text().toStdString();
        s.ramPath = ram_->text().toStdString();
        s.testRomVersion = testRom_->isChecked();
    }

private:
    QLineEdit* addPathRow(QGridLayout* layout, const std::string& path, const char* editName,
                          const char* buttonName, const char* filter, bool forSaving) {
        auto* edit = new QLineEdit(QString::fromStdString(path), layout->parentWidget());
        edit->setObjectName(QString::fromLatin1(editName));
        // Paths of any length: a line edit cuts at 32767 characters by default.
        edit->setMaxLength(std::numeric_limits<int>::max());
        auto* button = new QPushButton(QStringLiteral(">>"), layout->parentWidget());
        button->setObjectName(QString::fromLatin1(buttonName));
        button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral(">>")) + 24);
        layout->addWidget(edit, 0, 0);
        layout->addWidget(button, 0, 1);
        const std::string folder = dataDirectory(where_);
        if (!folder.empty())
            edit->setToolTip(QStringLiteral("A path without a leading \"/\" is inside %1")
                                 .arg(QString::fromStdString(folder)));
        const QStringList filters{QString::fromLatin1(filter), QStringLiteral("All files (*)")};
        connect(button, &QPushButton::clicked, this,
                [this, edit, filters, forSaving] { browse(edit, filters, forSaving); });
        return edit;
    }

    void browse(QLineEdit* edit, const QStringList& filters, bool forSaving) {
        QFileDialog dialog(this);
        if (forSaving) {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            // An existing state file is the usual choice: it is loaded, not lost.
            dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        } else {
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::ExistingFile);
        }
        dialog.setNameFilters(filters);
        // A relative path means the settings' data folder, not the current directory.
        const QString current =
            QString::fromStdString(resolvePath(where_, edit->text().toStdString()));
        const qsizetype slash = current.lastIndexOf(QLatin1Char('/'));
        if (slash >= 0) dialog.setDirectory(slash == 0 ? QStringLiteral("/") : current.left(slash));
        if (dialog.exec() != QDialog::Accepted) return;
        const QStringList chosen = dialog.selectedFiles();
        if (!chosen.isEmpty() && !chosen.first().isEmpty()) edit->setText(chosen.first());
    }

    Settings where_;  // what relative paths mean: the settings file's place
    QLineEdit* rom_;
    QLineEdit* ram_;
    QCheckBox* testRom_;
};

// -------------------------------------------------------------------- Keyboard

// Each calculator key with the PC keys that press it; the named PC keys can be moved
// from key to key. Typed characters are shown, but follow the calculator's shifts
// and are not changed here.
class KeyboardPage : public PreferencesPage {
public:
    KeyboardPage(QWidget* parent, const Settings& s) : PreferencesPage(parent), map_(s.keyMap) {
        auto* layout = new QVBoxLayout(this);
        auto* intro = new QLabel(
            QStringLiteral("The calculator key each PC key presses. Letters, digits and other "
                           "characters type what they show, following the calculator's [2nd] "
                           "and [ALPHA]; they are not changed here."),
            this);
        intro->setWordWrap(true);
        layout->addWidget(intro);

        table_ = makeReadingTable(this,
                                  {QStringLiteral("Calculator key"), QStringLiteral("PC keys"),
                                   QStringLiteral("Typed characters")},
                                  "keyMapTable");
        // A row is the calculator key the buttons below work on.
        table_->setRowCount(keyCount);
        table_->setFocusPolicy(Qt::StrongFocus);
        table_->setSelectionBehavior(QAbstractItemView::SelectRows);
        table_->setSelectionMode(QAbstractItemView::SingleSelection);
        for (int index = 0; index < keyCount; ++index)
            for (int column = 0; column < 3; ++column)
                table_->setItem(index, column, new QTableWidgetItem);
        layout->addWidget(table_, 1);

        auto* buttons = new QHBoxLayout;
        add_ = new QPushButton(QStringLiteral("&Add PC Key"), this);
        add_->setObjectName(QStringLiteral("addPcKey"));
        add_->setMenu(new QMenu(add_));
        remove_ = new QPushButton(QStringLiteral("&Remove PC Key"), this);
        remove_->setObjectName(QStringLiteral("removePcKey"));
        remove_->setMenu(new QMenu(remove_));
        auto* defaults = new QPushButton(QStringLiteral("Restore &Defaults"), this);
        defaults->setObjectName(QStringLiteral("restoreKeyDefaults"));
        buttons->addWidget(add_);
        buttons->addWidget(remove_);
        buttons->addStretch();
        buttons->addWidget(defaults);
        layout->addLayout(buttons);
        controlNote_ = new QLabel(this);
        controlNote_->setObjectName(QStringLiteral("controlNote"));
        controlNote_->setWordWrap(true);
        layout->addWidget(controlNote_);

        connect(add_->menu(), &QMenu::aboutToShow, this, [this] { fillAddMenu(); });
        connect(remove_->menu(), &QMenu::aboutToShow, this, [this] { fillRemoveMenu(); });
        connect(defaults, &QPushButton::clicked, this, [this] {
            map_ = defaultKeyMap();
            showMap();
        });
        connect(table_, &QTableWidget::currentCellChanged, this, [this] { enableButtons(); });
        showMap();
        table_->resizeColumnsToContents();
        table_->setCurrentCell(0, 0);
    }

    void store(Settings& s) const override { s.keyMap = map_; }

private:
    int selectedKey() const { return table_->currentRow(); }

    static QString pcKeyName(PcKey key) {
        for (const PcKeyName& named : pcKeyNames)
            if (named.key == key) return QString::fromLatin1(named.name);
        return {};
    }

    void showMap() {
        const std::vector<KeyHelpRow> rows = keyHelpRows(false, map_);
        for (int index = 0; index < keyCount; ++index) {
            QStringList named, typed;
            for (const PcKeyName& pc : pcKeyNames) {
                const KeyBinding& binding = map_.binding(pc.key);
                if (binding.index != index) continue;
                named << (binding.afterSecond
                              ? QStringLiteral("%1 after [2nd]").arg(QString::fromLatin1(pc.name))
                              : QString::fromLatin1(pc.name));
            }
            for (const PcKeyItem& item : pcKeysFor(index, {}, map_))
                if (item.character) typed << QString::fromStdString(item.text);
            table_->item(index, 0)->setText(
                QString::fromStdString(rows[static_cast<std::size_t>(index)].key));
            table_->item(index, 1)->setText(named.join(QStringLiteral(", ")));
            table_->item(index, 2)->setText(typed.join(QStringLiteral(" ")));
        }
        controlNote_->setText(
            map_.controlFree()
                ? QStringLiteral("Ctrl presses no calculator key: Ctrl+C copies the screen, "
                                 "Ctrl+V pastes and Ctrl+Q quits.")
                : QStringLiteral("Ctrl presses %1; remove it there for the usual Ctrl+C (copy "
                                 "the screen), Ctrl+V (paste) and Ctrl+Q (quit).")
                      .arg(QString::fromStdString(keyLabel(map_.binding(PcKey::control).index))));
        enableButtons();
    }

    void enableButtons() {
        const int index = selectedKey();
        add_->setEnabled(index >= 0);
        bool any = false;
        for (const PcKeyName& pc : pcKeyNames) any |= map_.binding(pc.key).index == index;
        remove_->setEnabled(index >= 0 && any);
    }

    // Every named PC key, with the key it presses now; choosing one moves it here.
    void fillAddMenu() {
        QMenu* menu = add_->menu();
        menu->clear();
        const int index = selectedKey();
        if (index < 0) return;
        for (const PcKeyName& pc : pcKeyNames) {
            const KeyBinding& binding = map_.binding(pc.key);
            QString text = pcKeyName(pc.key);
            if (binding.index >= 0)
                text += QStringLiteral("\t%1").arg(QString::fromStdString(keyLabel(binding.index)));
            QAction* action = menu->addAction(text);
            action->setEnabled(binding.index != index);
            const PcKey key = pc.key;
            connect(action, &QAction::triggered, this, [this, key, index] {
                map_.bind(key, {index, false});
                showMap();
            });
        }
    }

    void fillRemoveMenu() {
        QMenu* menu = remove_->menu();
        menu->clear();
        const int index = selectedKey();
        for (const PcKeyName& pc : pcKeyNames) {
            if (index < 0 || map_.binding(pc.key).index != index) continue;
            const PcKey key = pc.key;
            connect(menu->addAction(pcKeyName(key)), &QAction::triggered, this, [this, key] {
                map_.bind(key, {});
                showMap();
            });
        }
    }

    KeyMap map_;
    QTableWidget* table_;
    QPushButton* add_;
    QPushButton* remove_;
    QLabel* controlNote_;
};

}  // namespace

// ---------------------------------------------------------------------- dialog

PreferencesDialog::PreferencesDialog(QWidget* owner, Settings& copy, bool romLoadFailed,
                                     ColourFunction testColours, std::string romInUse)
    : QDialog(owner),
      copy_(copy),
      romInUse_(std::move(romInUse)),
      shownForeground_(copy.foreground),
      shownBackground_(copy.background),
      applyColours_(std::move(testColours)) {
    // Cancel puts the LCD back in the colours it had before a test.
    if (applyColours_)
        testColours_ = [this](uint32_t foreground, uint32_t background) {
            tested_ = true;
            applyColours_(foreground, background);
        };
    setWindowTitle(QStringLiteral("Preferences"));
    setObjectName(QStringLiteral("preferencesDialog"));
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabBar(this);
    tabs_->setObjectName(QStringLiteral("tabs"));
    tabs_->addTab(QStringLiteral("Misc"));
    tabs_->addTab(QStringLiteral("Colors"));
    tabs_->addTab(QStringLiteral("Files"));
    tabs_->addTab(QStringLiteral("Keyboard"));
    tabs_->addTab(QStringLiteral("Machine"));
    layout->addWidget(tabs_);
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setMinimumSize(340, 300);
    pageArea_ = new QVBoxLayout(frame);
    pageScroll_ = makePageScroll(frame, copy_);
    pageArea_->addWidget(pageScroll_);
    layout->addWidget(frame, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this,
            [this] { done(static_cast<int>(PreferencesAnswer::ok)); });
    connect(buttons, &QDialogButtonBox::rejected, this,
            [this] { done(static_cast<int>(PreferencesAnswer::cancel)); });

    if (romLoadFailed) {
        // The user must choose a ROM file that works.
        copy_.romPath.clear();
        tabs_->setCurrentIndex(filesPage);
    }
    showPage(tabs_->currentIndex());
    connect(tabs_, &QTabBar::currentChanged, this, [this](int index) { showPage(index); });
    placeBesideOwner();
}

void PreferencesDialog::placeBesideOwner() {
    if (!parentWidget() || !parentWidget()->isVisible()) return;
    adjustSize();
    vantrel::placeBesideOwner(this, parentWidget());
}

PreferencesDialog::~PreferencesDialog() {
    if (page_) page_->store(copy_);
}

void PreferencesDialog::showPage(int index) {
    if (page_) {
        page_->store(copy_);
        pageScroll_->takeWidget();
        delete page_;
        page_ = nullptr;
    }
    QWidget* area = pageScroll_;
    switch (index) {
        case miscPage:
            page_ = new MiscPage(area, copy_);
            break;
        case colorsPage:
            page_ = new ColorsPage(area, copy_, testColours_);
            break;
        case filesPage:
            page_ = new FilesPage(area, copy_);
            break;
        case keyboardPage:
            page_ = new KeyboardPage(area, copy_);
            break;
        case machinePage:
            page_ = new MachinePage(area, copy_);
            break;
        default:
            return;
    }
    pageScroll_->setWidget(page_);
    page_->show();
}

QScrollArea* PreferencesDialog::makePageScroll(QWidget* parent, const Settings& copy) {
    // Room for the largest page, so that no page is cut when the tabs change; on a
    // screen too small for that (a large scale factor), the page scrolls instead.
    QSize largest;
    for (PreferencesPage* page : std::initializer_list<PreferencesPage*>{
             new MiscPage(nullptr, copy), new ColorsPage(nullptr, copy, {}),
             new FilesPage(nullptr, copy), new KeyboardPage(nullptr, copy),
             new MachinePage(nullptr, copy)}) {
        largest = largest.expandedTo(page->sizeHint());
        delete page;
    }
    auto* scroll = new QScrollArea(parent);
    scroll->setObjectName(QStringLiteral("pageScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    if (const QScreen* screen = parent->screen()) {
        // What the tabs, the buttons and the frames around the page take.
        const QSize around(80, 180);
        largest = largest.boundedTo(screen->availableGeometry().size() - around);
    }
    scroll->setMinimumSize(largest);
    // The frame's own minimum would otherwise hide the page's.
    const QMargins margins = parent->layout() ? parent->layout()->contentsMargins() : QMargins();
    parent->setMinimumSize(parent->minimumSize().expandedTo(
        largest + QSize(margins.left() + margins.right(), margins.top() + margins.bottom()) +
        QSize(2 * parent->property("frameWidth").toInt(),
              2 * parent->property("frameWidth").toInt())));
    return scroll;
}

QString stateFileIsRomText(const std::string& ramPath) {
    return QStringLiteral(
               "The state file \"%1\" is the ROM image.\n"
               "Choose another state file: the calculator's state would be written over the ROM "
               "image.")
        .arg(QString::fromStdString(ramPath));
}

bool PreferencesDialog::stateFileAcceptable() {
    const std::string ramPath = resolvePath(copy_, copy_.ramPath);
    if (!stateFileWouldReplace(ramPath, resolvePath(copy_, copy_.romPath)) &&
        !stateFileWouldReplace(ramPath, romInUse_))
        return true;
    QMessageBox::critical(this, windowTitle(), stateFileIsRomText(copy_.ramPath));
    tabs_->setCurrentIndex(filesPage);
    return false;
}

void PreferencesDialog::done(int result) {
    if (page_) page_->store(copy_);
    const bool ok = result == static_cast<int>(PreferencesAnswer::ok);
    if (ok && !stateFileAcceptable()) return;
    // After a test the LCD shows what the dialog ends with: the colours kept on OK
    // (even those it had before), the ones it had on Cancel.
    if (tested_) {
        tested_ = false;
        if (ok)
            applyColours_(copy_.foreground, copy_.background);
        else
            applyColours_(shownForeground_, shownBackground_);
    }
    // Escape and the window's close button count as Cancel.
    QDialog::done(static_cast<int>(ok ? PreferencesAnswer::ok : PreferencesAnswer::cancel));
}

PreferencesAnswer runPreferences(QWidget* owner, Settings& copy, bool romLoadFailed,
                                 ColourFunction testColours, const std::string& romInUse) {
    PreferencesDialog dialog(owner, copy, romLoadFailed, std::move(testColours), romInUse);
    return dialog.exec() == static_cast<int>(PreferencesAnswer::ok) ? PreferencesAnswer::ok
                                                                    : PreferencesAnswer::cancel;
}

void applyPreferences(Calculator* calculator, Settings& live, const Settings& edited,
                      const ColourFunction& applyColours) {
    // File names on Linux differ by case, so the comparison is exact.
    if (calculator && edited.ramPath != live.ramPath)
        calculator->reloadState(resolvePath(edited, edited.ramPath));
    if ((edited.foreground != live.foreground || edited.background != live.background) &&
        applyColours)
        applyColours(edited.foreground, edited.background);
    live = edited;
}

}  // namespace vantrel
