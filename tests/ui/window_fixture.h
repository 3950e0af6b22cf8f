#pragma once

// The main window as the window tests drive it: made as the program makes it, with its settings
// in a temporary folder, the file dialog answered by the test, message boxes answered from a
// queue and error boxes recorded.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "settings/settings.h"
#include "tests/ui/controls.h"
#include "tests/ui/files.h"
#include "ui/Main.h"
#include "ui/application.h"
#include "ui/preview.h"

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace quillfen::uitest {

// Four phrases with the default tags: T, G (with an entity), T with a cut trailing blank, T.
// With header content on, the meta description comes first as a C phrase.
inline const std::string kPage =
    "<html>\r\n<head>\r\n<meta name=\"description\" content=\"Head text\">\r\n</head>\r\n"
    "<body>\r\n<p>First phrase</p>\r\n<img src=\"a.png\" alt=\"K&auml;se picture\">\r\n"
    "<p>Second phrase </p>\r\n<p>Third</p>\r\n</body>\r\n</html>\r\n";

class Window : public ::testing::Test, protected TMainControls {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetErrorBox([this](const QString& text) { errors << text; });
        QObject::connect(&answerer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || answers.empty()) return;
            asked << box->text();
            const QMessageBox::StandardButton button = answers.front();
            answers.pop_front();
            box->button(button)->click();
        });
        answerer.start(20);
        Start();
    }

    void TearDown() override {
        // Closing would otherwise wait for an answer about text typed and not confirmed.
        if (form && form->DocumentOpen() && (form->SaveFailed() || form->HasDrafts()))
            Answer(QMessageBox::Yes);
        Stop();
        SetErrorBox({});
        // Pages made read-only must go with the folder.
        for (const QString& f : QDir(dir.path()).entryList(QDir::Files))
            QFile(dir.filePath(f)).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }

    void Start() {
        form = CreateMainWindow();
        form->SettingsStore = IniSettingsStore(dir.filePath("settings.ini"));
        form->ChooseFileToOpen = [this](const QString& filter, const QString&) {
            lastFilter = filter;
            return nextChoice;
        };
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->activateWindow();
        // Focus checks need the window active; the offscreen platform grants it.
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        const QStringList missing = Bind(*form);
        ASSERT_TRUE(missing.isEmpty()) << missing.join(' ').toStdString();
    }

    // What the preview marks now; empty when it does not answer.
    TPreviewMark ReadMark() {
        TPreviewMark mark;
        bool done = false;
        PreviewPane->ReadMark([&](const TPreviewMark& m) {
            mark = m;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 20000)) return {};
        return mark;
    }

    void Stop() {
        if (!form) return;
        form->close();
        form.reset();
    }

    QString Page(const QString& name, const std::string& bytes = kPage) {
        const QString path = dir.filePath(name);
        WriteBytes(path, bytes);
        return path;
    }

    // Runs a command from the event loop, as a menu or key does, so that an error it raises
    // reaches the error box.
    void Command(const std::function<void()>& f) {
        QMetaObject::invokeMethod(form.get(), f, Qt::QueuedConnection);
        QCoreApplication::sendPostedEvents();
    }

    void Open(const QString& path) {
        nextChoice = path;
        Command([this] { mLoad->trigger(); });
    }

    // The window's control of that design name.
    template <class T>
    T* Control(const char* name) const {
        T* control = FindControl<T>(*form, name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    QString RowString(int row) const {
        return TextBoxModel->index(row).data(Qt::EditRole).toString();
    }
    QString RowText(int row) const {
        return TextBoxModel->index(row).data(Qt::DisplayRole).toString();
    }
    void Select(int row) {
        TextBox->selectionModel()->setCurrentIndex(TextBoxModel->index(row),
                                                   QItemSelectionModel::ClearAndSelect);
    }

    // Answers the next message box with `button` once it shows, and keeps its text in `asked`.
    void Answer(QMessageBox::StandardButton button) { answers.push_back(button); }

    // Keys go where the user's keys would: to the widget with the focus.
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, Qt::Key(key), modifiers);
    }
    void Type(const QString& text) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClicks(target, text);
    }

    QString BodyText() {
        QString result;
        bool done = false;
        Browser->page()->runJavaScript("document.body ? document.body.innerText : ''",
                                       [&](const QVariant& v) {
                                           result = v.toString();
                                           done = true;
                                       });
        if (!QTest::qWaitFor([&] { return done; }, 20000)) return QString();
        return result;
    }

    bool PreviewShows(const QString& text) {
        return QTest::qWaitFor([&] { return BodyText().contains(text); }, 20000);
    }

    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;
    QStringList errors;
    QStringList asked;
    std::deque<QMessageBox::StandardButton> answers;
    QTimer answerer;
    QString nextChoice;
    QString lastFilter, lastFolder;
};

}  // namespace quillfen::uitest
