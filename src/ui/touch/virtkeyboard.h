#pragma once

#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <initializer_list>

class ActiveFilter;
class KbdCatcher;
class QPushButton;

// The on-screen keyboard of the touch terminal: Latin, Russian, figures and symbols. Bound
// fields ask for it when touched; it types into the field by sending key events, also in a
// modal window, and lifts the field's window or moves itself when it would cover the field
// or the window's kept buttons. While switched off (the program's default) binding installs
// nothing and nothing is ever shown.
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
    // The keys a bound field opens with: the letters, the figures (a number, a date, a
    // time), or only the hexadecimal digits.
    enum class Keys
    {
        Text,
        Figures,
        Hex,
    };
    // Shift types one capital, then the letters are small again; a second tap holds it.
    enum class Shift
    {
        Off,
        Once,
        Locked,
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
    // 0-9, A-F, a blank, erase and "Ввод".
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
    Shift shiftState() const { return m_shift; }
    bool upperCase() const { return m_shift != Shift::Off; }
    bool russian() const { return m_russian; }
    bool windowMoved() const { return m_moved; }
    KbdCatcher* catcher() const { return m_catcher; }
    ActiveFilter* activeFilter() const { return m_activeFilter; }

    // The program's keyboard, for the windows that bind their fields; null before the main
    // window has made it.
    static VirtKeyboard* program();
    static void setProgram(VirtKeyboard* keyboard);
    // The calls below act on the program's keyboard and do nothing without one.
    // Binds the field.
    static void bond(QWidget* widget, Keys keys = Keys::Text);
    // Binds a field that opens on a tap already taken (a grid's cell editor) and asks for
    // the keyboard for it.
    static void bondOpened(QWidget* widget, Keys keys);
    // The buttons that leave or apply their window: the keyboard never covers them while
    // a field of that window is typed into.
    static void keepUncovered(std::initializer_list<QWidget*> buttons);

Q_SIGNALS:
    void kbdRequest();
    void kbdClose();

public Q_SLOTS:
    void inputReq();
    void inputQuit();
    void emulateKey();

private:
    static constexpr const char* KeysProperty = "velkorKeys";

    void moveBack();
    // Shows the keyboard for `target` and uncovers it with its window's kept buttons.
    void requestFor(QWidget* target);
    // The field's layout: letters for text, figures or hexadecimal digits.
    void openKeysOf(QWidget* target);
    // A modal window lets taps reach only itself and its transient windows: the keyboard's
    // host becomes a transient window of the field's window.
    void followWindow(QWidget* target);
    // By the field's scroll area, then by lifting its window within the screen, then by
    // moving the keyboard to where it covers neither the field nor the kept buttons.
    void uncover();
    // The field and its window's kept buttons, where they are on the screen.
    QRect fieldRect() const;
    QList<QRect> keptRects() const;
    void scrollAbove(int keyboardTop);
    // Moves the keyboard to the lowest place that covers none of `kept`; false if none.
    bool placeClearOf(const QList<QRect>& kept);
    void switchLayout(int mode, const Layout& layout);
    void setShift(Shift shift);
    // "Ввод": Return to a one-line field (never to a button), then the keyboard goes.
    void finishField();

    bool m_on = true;
    QPointer<QWidget> m_host;
    QPointer<QWidget> m_target;
    QPointer<QWidget> m_lastBound;
    QPointer<QWidget> m_movedWindow;
    QList<QPointer<QWidget>> m_kept;
    int m_savedY = 0;
    bool m_moved = false;
    Layout m_layout;
    QList<QPushButton*> m_buttons;
    int m_mode = Letters;
    bool m_russian = false;
    Shift m_shift = Shift::Off;
    KbdCatcher* m_catcher;
    ActiveFilter* m_activeFilter;
};
