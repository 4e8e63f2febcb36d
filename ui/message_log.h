#pragma once

#include <QPlainTextEdit>

namespace colorsplit {

// The message log: an ordinary editable text box, one block per logged line. Tab moves on to
// the next control instead of being typed, as everywhere else in the window. Its frame is
// drawn in whole device pixels, so that every side shows at any display scale (Qt's own frame
// loses its right and bottom lines at 1.5, under the text area).
class MessageLog : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MessageLog(QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace colorsplit
