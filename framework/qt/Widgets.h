// The Qt widgets behind the template's control kinds, where the stock widget
// does not behave as the dialogs expect.
#pragma once

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QString>

#include <array>

class QLineEdit;

// Editable drop-down list, unsorted, that never inserts what is typed.
// Selection is tracked here rather than read from QComboBox: typing into the
// field clears it (-1) until an item is chosen from the list again, and only
// the operator's actions raise the two notifications.
class ComboBoxWidget : public QComboBox {
    Q_OBJECT
public:
    explicit ComboBoxWidget(QWidget* parent = nullptr);

    int currentSelection() const { return m_curSel; }
    // Adds at the end; neither the field nor the selection changes. Returns
    // the new item's index.
    int appendItem(const QString& text);
    // Selects without notifying; an index out of range clears the selection
    // and the field and returns false.
    bool selectItem(int index);
    QString fieldText() const;
    // Replaces the field's text; the selection no longer describes it.
    void setFieldText(const QString& text);
    void clearItems();
    // Height of every list item, in pixels; 0 for the style's own.
    void setListItemHeight(int pixels);
    int listItemHeight() const { return m_itemHeight; }

signals:
    void selectionChanged();  // the operator picked a list item
    void editTextChanged();   // the operator changed the field's text

public:
    // Opens the list at least as wide as its widest item; the field keeps
    // its template width.
    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_curSel = -1;
    int m_itemHeight = 0;
};

// A static text that widens to the right to show a longer text whole, into
// the free room its group box leaves it, and narrows back to its template
// width for a shorter one.
class StaticText : public QLabel {
    Q_OBJECT
public:
    StaticText(const QString& text, QWidget* parent);
    // The widest it may grow, in pixels; never less than its width now.
    void setWidthLimit(int pixels);
    void setShownText(const QString& text);

private:
    int m_templateWidth = 0;
    int m_widthLimit = 0;
};

// The IPv4 address field: four octet fields of 0 to 255 between dots. A
// blank field reads as 0, so a blank control reads "0.0.0.0". A '.' or a
// third digit moves on to the next field.
class IpAddressWidget : public QFrame {
    Q_OBJECT
public:
    static constexpr int kFields = 4;

    explicit IpAddressWidget(QWidget* parent = nullptr);

    QString text() const;
    // Takes "a.b.c.d"; fields not given or not numbers are left blank.
    void setText(const QString& text);
    bool isBlank() const;
    QLineEdit* field(int i) const { return m_fields[static_cast<std::size_t>(i)]; }
    // Every field carries the control's name for assistive technology.
    void setAccessibleNameAll(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onFieldEdited(int i);
    void moveTo(int i);
    // The field `watched` is, or kFields for none.
    int fieldIndex(const QObject* watched) const;
    // A dot, or an arrow or Backspace at a field's edge, moves to the next or
    // previous field; true when the key is used up.
    bool moveOnKey(int i, int key);

    std::array<QLineEdit*, kFields> m_fields{};
};

// Multi-line text box whose text keeps CR LF line ends exactly as set: the
// document shows plain line feeds, the stored text is the source of truth.
class MultiLineEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MultiLineEdit(QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);

private:
    QString m_text;
    bool m_setting = false;
};

// Window text of any control the templates make: the label, button or group
// caption, or the edit, combo or address field's text.
QString ControlText(const QWidget* w);
void SetControlText(QWidget* w, const QString& text);
