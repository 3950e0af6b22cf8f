#pragma once

#include <QPlainTextEdit>
#include <functional>
#include <vector>

namespace quillfen {

// The entry field: one text, shown wrapped over as many lines as it needs (up to a few, then it
// scrolls). No line break can be typed or pasted: Enter belongs to the owner and a pasted line
// break becomes a blank; Up and Down are the owner's too. It keeps the small API of a line edit
// that the window and its tests use.
//
// For a sentence the field holds its placeholders as tokens: each start tag, end tag or empty
// element is one character of the document (an inline object), so the cursor never stands inside
// one, Backspace and Delete take it whole and a selection holds it whole or not at all. The text
// the field gives and takes is then the sentence's textual form ("le <b1>renard</b1>"), with a
// '<' typed as text that reads like a placeholder escaped.

// One placeholder of the sentence the field shows.
struct TEntryPlaceholder {
    QString Name;  // "b1"
    bool Paired = false;
    QString Content;  // the tag, or all a carried element holds, shown over its token
};

class TEntryEdit : public QPlainTextEdit {
  public:
    explicit TEntryEdit(QWidget* parent = nullptr);

    // Each key pressed in the field, before the field handles it; true keeps the key from the
    // field. Enter, Up and Down never reach the field.
    std::function<bool(int key, Qt::KeyboardModifiers modifiers)> KeyDown;
    // Ctrl+Z (false), Ctrl+Shift+Z or Ctrl+Y (true): the owner decides between the field's own
    // undo and the page's. Neither the field nor a menu shortcut sees these keys.
    std::function<void(bool redo)> UndoRedo;

    // The text as typed, non-breaking spaces kept.
    QString text() const;
    // Replaces the text; the field's own undo starts anew.
    void setText(const QString& text);
    // Types text at the cursor, replacing the selection.
    void insert(const QString& text);
    QString selectedText() const;
    bool hasSelectedText() const { return textCursor().hasSelection(); }
    int cursorPosition() const { return textCursor().position(); }
    void setCursorPosition(int position);
    // From start, length characters; a negative length selects backwards.
    void setSelection(int start, int length);
    bool isUndoAvailable() const { return document()->isUndoAvailable(); }
    bool isRedoAvailable() const { return document()->isRedoAvailable(); }
    // The placeholders of the sentence whose text comes next (setText); tokens on: the text is a
    // sentence's textual form. Off, the field holds plain text as for any other phrase.
    void SetPlaceholders(std::vector<TEntryPlaceholder> placeholders, bool tokens = true);
    bool HasTokens() const { return tokens_; }
    // Inserts the first placeholder of the sentence missing from the field at the cursor (a pair
    // around the cursor), or wraps the selection in the first pair missing whole; false when
    // nothing is missing. The field runs it on InsertPlaceholderKey.
    bool InsertNextPlaceholder();
    static constexpr Qt::Key InsertPlaceholderKey = Qt::Key_F9;

    // The most lines shown before the field scrolls.
    static constexpr int MaxLines = 6;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    bool event(QEvent* event) override;
    // A dropped file is a page for the window to open, not text.
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

  private:
    // The textual form of the document's characters [from, to) when it holds tokens.
    QString TokenText(int from, int to) const;
    // Inserts text at cursor, its placeholders of this sentence as tokens.
    void InsertTokenText(QTextCursor& cursor, const QString& text);
    void InsertToken(QTextCursor& cursor, int placeholder, int part);
    // In a sentence: the key that inserts a placeholder, and typed characters; true when taken.
    bool TypedText(const QKeyEvent& key);
    // Turns the placeholder just typed before cursor into its token, when it is one of this
    // sentence's.
    void TokenizeTypedTag(QTextCursor& cursor);
    // The token at a point of the viewport: its placeholder and part, or -1.
    int TokenAt(const QPoint& point, int* part) const;

    // The height of the lines the text takes at the present width.
    int WantedHeight() const;
    void FitHeight();

    std::vector<TEntryPlaceholder> placeholders_;
    bool tokens_ = false;
};

}  // namespace quillfen
