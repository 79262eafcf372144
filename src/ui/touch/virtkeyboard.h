#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

class ActiveFilter;
class KbdCatcher;
class QPushButton;

// The on-screen keyboard of the touch terminal: Latin, Russian, figures and symbols. Bound
// fields ask for it when touched; it types into the field by sending key events and lifts
// the field's window when the keyboard would cover the field. While switched off (the
// program's default) binding installs nothing and nothing is ever shown.
class VirtKeyboard : public QWidget
{
    Q_OBJECT

public:
    enum Kind
    {
        CharacterKey = 0,
        ControlKey = 2,
    };
    enum Mode
    {
        Letters = 0,
        Figures = 1,
        Symbols = 2,
        Hex = 3,
    };
    // The keys a bound field gets: all of them, or only the hexadecimal digits.
    enum class Keys
    {
        Text,
        Hex,
    };
    struct Key
    {
        QString label; // the button's text (empty for an icon)
        QString text;  // what the key types
        int kind = CharacterKey;
        int code = 0; // the key code it sends
        QString icon;
    };
    using Row = QList<Key>;
    using Layout = QList<Row>;

    static const Layout& latinLayout();
    static const Layout& russianLayout();
    static const Layout& figuresLayout();
    static const Layout& symbolsLayout();
    // 0-9, A-F, a blank and erase.
    static const Layout& hexLayout();

    explicit VirtKeyboard(QWidget* parent = nullptr);
    ~VirtKeyboard() override;

    // The master switch, with the switches of both filters.
    void setSwitchedOn(bool on);
    bool switchedOn() const { return m_on; }
    // The dialog the keyboard lives in; its leave events close the keyboard.
    void setHost(QWidget* host);

    void bondKeyboard(QWidget* widget, Keys keys = Keys::Text);
    void drawKeyboard(const Layout& layout);
    void toLang();
    void toFigures();
    void toSyms();
    void toHex();
    void showKeyboard(QPushButton* button);

    QWidget* target() const { return m_target; }
    int mode() const { return m_mode; }
    bool upperCase() const { return m_upperCase; }
    bool russian() const { return m_russian; }
    bool windowMoved() const { return m_moved; }
    KbdCatcher* catcher() const { return m_catcher; }
    ActiveFilter* activeFilter() const { return m_activeFilter; }

    // The program's keyboard, for the windows that bind their fields; null before the main
    // window has made it.
    static VirtKeyboard* program();
    static void setProgram(VirtKeyboard* keyboard);
    // Binds the field to the program's keyboard, if there is one.
    static void bond(QWidget* widget, Keys keys = Keys::Text);

Q_SIGNALS:
    void kbdRequest();
    void kbdClose();

public Q_SLOTS:
    void inputReq();
    void inputQuit();
    void emulateKey();

private:
    static constexpr const char* HexKeysProperty = "velkorHexKeys";

    void moveBack();
    // Shows the keyboard for `target` and uncovers it: by the field's scroll area, then by
    // lifting its window within the screen, then by moving the keyboard above the field.
    void requestFor(QWidget* target);
    void scrollAbove(int keyboardTop);
    void switchLayout(int mode, const Layout& layout);
    void shift();

    bool m_on = true;
    QPointer<QWidget> m_host;
    QPointer<QWidget> m_target;
    QPointer<QWidget> m_lastBound;
    QPointer<QWidget> m_movedWindow;
    int m_savedY = 0;
    bool m_moved = false;
    Layout m_layout;
    QList<QPushButton*> m_buttons;
    int m_mode = Letters;
    bool m_russian = false;
    bool m_upperCase = false;
    KbdCatcher* m_catcher;
    ActiveFilter* m_activeFilter;
};
