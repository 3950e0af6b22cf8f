#pragma once

#include <QPlainTextEdit>
#include <functional>

namespace quillfen {

// The entry field: one text, shown wrapped over as many lines as it needs (up to a few, then it
// scrolls). No line break can be typed or pasted: Enter belongs to the owner and a pasted line
// break becomes a blank; Up and Down are the owner's too. It keeps the small API of a line edit
// that the window and its tests use, and being a text document it can carry formatted runs
// (protected tokens) later.
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

  private:
    // The height of the lines the text takes at the present width.
    int WantedHeight() const;
    void FitHeight();
};

}  // namespace quillfen
