// Drives the modal dialogs of the code under test from inside their own event loop:
// the action runs once a modal widget is up, polled by a single-shot timer.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

namespace vantrel::test {

inline QApplication& application() {
    static int argc = 1;
    static char name[] = "vantrel-tests";
    static char* argv[] = {name, nullptr};
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
    static QApplication app(argc, argv);
    return app;
}

struct ModalWatch {
    bool ran = false;
    bool cancelled = false;
    void cancel() { cancelled = true; }
};

// Runs action on the next modal widget other than notThis (the action must close
// it). The watch tells whether it ran; cancel() stops the polling.
inline std::shared_ptr<ModalWatch> whenModal(std::function<void(QWidget*)> action,
                                             QWidget* notThis = nullptr) {
    auto watch = std::make_shared<ModalWatch>();
    auto poll = std::make_shared<std::function<void()>>();
    QPointer<QWidget> skip(notThis);
    std::weak_ptr<std::function<void()>> self = poll;
    *poll = [action, watch, self, skip] {
        if (watch->cancelled) return;
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != skip.data()) {
            watch->ran = true;
            action(modal);
            return;
        }
        if (auto again = self.lock()) QTimer::singleShot(5, qApp, [again] { (*again)(); });
    };
    QTimer::singleShot(0, qApp, [poll] { (*poll)(); });
    return watch;
}

// Clicks the given button of the next message box; records its caption and text.
struct SeenBox {
    std::shared_ptr<ModalWatch> watch;
    bool shown = false;
    QString title;
    QString text;
    QString informative;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

inline std::shared_ptr<SeenBox> answerMessageBox(QMessageBox::StandardButton answer) {
    auto seen = std::make_shared<SeenBox>();
    seen->watch = whenModal([seen, answer](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box) {
            widget->close();
            return;
        }
        seen->shown = true;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->informative = box->informativeText();
        seen->icon = box->icon();
        seen->buttons = box->standardButtons();
        if (auto* button = box->button(answer))
            button->click();
        else
            box->reject();
    });
    return seen;
}

}  // namespace vantrel::test
