#include "ui/entryedit.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <algorithm>

#include "ui/application.h"
#include "ui/codec.h"

namespace quillfen {

namespace {

enum class THistoryKey { None, Undo, Redo };

// Matched here rather than through the platform's key bindings, which differ in whether Ctrl+Y
// redoes.
THistoryKey HistoryKeyOf(const QKeyEvent& event) {
    const Qt::KeyboardModifiers mods =
        event.modifiers() &
        (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if (event.key() == Qt::Key_Z && mods == Qt::ControlModifier) return THistoryKey::Undo;
    if (event.key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier))
        return THistoryKey::Redo;
    if (event.key() == Qt::Key_Y && mods == Qt::ControlModifier) return THistoryKey::Redo;
    return THistoryKey::None;
}

// The document's raw text keeps non-breaking spaces, which toPlainText turns into blanks; a
// paragraph separator can only come from a document put together elsewhere.
QString RawText(const QTextDocument& document) {
    QString text = document.toRawText();
    text.replace(QChar::ParagraphSeparator, u' ');
    return text;
}

}  // namespace

TEntryEdit::TEntryEdit(QWidget* parent) : QPlainTextEdit(parent) {
    // The selection looks the same while another window, a message box say, is active.
    QPalette pal = palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    setPalette(pal);
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    document()->setDocumentMargin(2);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        Guarded([this] {
            // A line break that came another way than a paste (an input method) goes too.
            if (document()->blockCount() > 1) {
                const int cursor = cursorPosition();
                QTextCursor all(document());
                all.select(QTextCursor::Document);
                all.insertText(EntryText(RawText(*document())));
                setCursorPosition(std::min(cursor, document()->characterCount() - 1));
            }
            FitHeight();
        });
    });
    FitHeight();
}

QString TEntryEdit::text() const { return RawText(*document()); }

void TEntryEdit::setText(const QString& text) {
    setPlainText(EntryText(text));
    moveCursor(QTextCursor::End);
}

void TEntryEdit::insert(const QString& text) { insertPlainText(EntryText(text)); }

QString TEntryEdit::selectedText() const {
    QString text = textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, u' ');
    return text;
}

void TEntryEdit::setCursorPosition(int position) {
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::clamp(position, 0, document()->characterCount() - 1));
    setTextCursor(cursor);
}

void TEntryEdit::setSelection(int start, int length) {
    const int last = document()->characterCount() - 1;
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::clamp(start, 0, last));
    cursor.setPosition(std::clamp(start + length, 0, last), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

int TEntryEdit::WantedHeight() const {
    // The plain layout counts the document's size in lines.
    const int lines =
        std::clamp(int(document()->documentLayout()->documentSize().height()), 1, MaxLines);
    const int frame = 2 * frameWidth();
    const int margin = int(2 * document()->documentMargin());
    return lines * fontMetrics().lineSpacing() + frame + margin + 2;
}

void TEntryEdit::FitHeight() {
    const int wanted = WantedHeight();
    if (height() != wanted || minimumHeight() != wanted) {
        setFixedHeight(wanted);
        updateGeometry();
    }
}

QSize TEntryEdit::sizeHint() const { return {QPlainTextEdit::sizeHint().width(), WantedHeight()}; }

QSize TEntryEdit::minimumSizeHint() const { return {60, WantedHeight()}; }

void TEntryEdit::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    // A new width wraps the text anew.
    FitHeight();
}

bool TEntryEdit::event(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (const THistoryKey history = HistoryKeyOf(*key); history != THistoryKey::None) {
            if (type == QEvent::KeyPress && UndoRedo) UndoRedo(history == THistoryKey::Redo);
            event->accept();
            return true;
        }
        // Enter confirms, and Up and Down go from row to row: none of them moves in the text.
        const int k = key->key();
        const bool own =
            k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Up || k == Qt::Key_Down;
        if (type == QEvent::KeyPress) {
            const bool taken = KeyDown && KeyDown(k, key->modifiers());
            if (taken || own) {
                event->accept();
                return true;
            }
        }
    }
    return QPlainTextEdit::event(event);
}

bool TEntryEdit::canInsertFromMimeData(const QMimeData* source) const {
    return source && !source->hasUrls() && source->hasText();
}

void TEntryEdit::insertFromMimeData(const QMimeData* source) {
    if (canInsertFromMimeData(source)) insertPlainText(EntryText(source->text()));
}

}  // namespace quillfen
