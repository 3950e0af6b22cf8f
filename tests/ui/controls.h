#pragma once

// The tests reach the main window's controls as a user's tools do: by their design names, which
// every control carries as its object name. The window's state is its own.

#include <QAbstractListModel>
#include <QAction>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QObject>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStringList>
#include <QWebEngineView>
#include <array>

#include "ui/Main.h"
#include "ui/findbar.h"
#include "ui/options.h"
#include "ui/phraselist.h"
#include "ui/preview.h"
#include "ui/progress.h"
#include "ui/wizard.h"

namespace quillfen::uitest {

// The child of window named name, of type T, that belongs to window itself and not to one of its
// dialogs (the Options dialog and the wizard have a GroupBox1 and an Image1 of their own); null
// when there is none.
template <class T>
T* FindControl(const QObject& window, const QString& name) {
    for (QObject* child : window.findChildren<QObject*>(name)) {
        bool own = true;
        for (QObject* p = child->parent(); p && p != &window; p = p->parent())
            if (qobject_cast<QDialog*>(p)) own = false;
        if (T* control = dynamic_cast<T*>(child); control && own) return control;
    }
    return nullptr;
}

// The controls of the main window that the tests drive and read.
struct TMainControls {
    QStackedWidget* Notebook = nullptr;
    QWidget* Panel3 = nullptr;
    QLabel* VersionLabel = nullptr;
    QLabel* Image1 = nullptr;
    QWidget* Panel1 = nullptr;
    QLabel* TextLabel = nullptr;
    TEntryEdit* Edit1 = nullptr;
    QListView* TextBox = nullptr;
    QAbstractListModel* TextBoxModel = nullptr;
    QPushButton* OkBtn = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Item1 = nullptr;
    QLabel* Item2 = nullptr;
    QLabel* Item3 = nullptr;
    QLabel* EncodingLabel = nullptr;
    TProgressPanel* ProgressPanel = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QWebEngineView* Browser = nullptr;
    TPreview* PreviewPane = nullptr;
    TFindBar* FindBar = nullptr;
    QPushButton* CloseHelpBtn = nullptr;
    QMenu* mFile = nullptr;
    QAction* mLoad = nullptr;
    QAction* mClose = nullptr;
    QAction* mExport = nullptr;
    QAction* mImport = nullptr;
    std::array<QAction*, 5> HistoryItems{};
    QAction* mExit = nullptr;
    QMenu* mEdit = nullptr;
    QAction* mUndo = nullptr;
    QAction* mRedo = nullptr;
    QAction* mRevert = nullptr;
    QAction* mFind = nullptr;
    QAction* mGoTo = nullptr;
    QMenu* mLanguage = nullptr;
    QAction* mHelp = nullptr;
    QAction* mOptions = nullptr;
    TOptionsDlg* OptionsDlg = nullptr;
    TWizardDlg* WizardDlg = nullptr;

    // Finds them in form, which must have been shown (the recent files' items come with its
    // first activation); the names of those it lacks.
    QStringList Bind(const TForm1& form) {
        QStringList missing;
        auto find = [&]<class T>(T*& control, const QString& name) {
            control = FindControl<T>(form, name);
            if (!control) missing << name;
        };
        find(Notebook, "Notebook");
        find(Panel3, "Panel3");
        find(VersionLabel, "VersionLabel");
        find(Image1, "Image1");
        find(Panel1, "Panel1");
        find(TextLabel, "TextLabel");
        find(Edit1, "Edit1");
        find(TextBox, "TextBox");
        TextBoxModel = TextBox ? qobject_cast<QAbstractListModel*>(TextBox->model()) : nullptr;
        if (!TextBoxModel) missing << "TextBox model";
        find(OkBtn, "OkBtn");
        find(GroupBox1, "GroupBox1");
        find(Item1, "Item1");
        find(Item2, "Item2");
        find(Item3, "Item3");
        find(EncodingLabel, "EncodingLabel");
        find(ProgressPanel, "ProgressPanel");
        find(ProgressBar, "ProgressBar");
        find(Browser, "Browser");
        find(PreviewPane, "PreviewPane");
        find(FindBar, "FindBar");
        find(CloseHelpBtn, "CloseHelpBtn");
        find(mFile, "mFile");
        find(mLoad, "mLoad");
        find(mClose, "mClose");
        find(mExport, "mExport");
        find(mImport, "mImport");
        for (std::size_t n = 0; n < HistoryItems.size(); ++n)
            find(HistoryItems[n], QStringLiteral("History%1").arg(n + 1));
        find(mExit, "mExit");
        find(mEdit, "mEdit");
        find(mUndo, "mUndo");
        find(mRedo, "mRedo");
        find(mRevert, "mRevert");
        find(mFind, "mFind");
        find(mGoTo, "mGoTo");
        find(mLanguage, "mLanguage");
        find(mHelp, "mHelp");
        find(mOptions, "mOptions");
        find(OptionsDlg, "OptionsDlg");
        find(WizardDlg, "WizardDlg");
        return missing;
    }
};

}  // namespace quillfen::uitest
