#include "virtkeyboard.h"

#include "activefilter.h"
#include "kbdcatcher.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCursor>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <functional>

namespace {

VirtKeyboard*& programKeyboard()
{
    static VirtKeyboard* keyboard = nullptr;
    return keyboard;
}

using Key = VirtKeyboard::Key;
using Row = VirtKeyboard::Row;

// Character keys typing each character of `characters`, blank-separated.
Row characters(const QString& characters)
{
    Row row;
    for (const QString& text : characters.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        row << Key{text, text, VirtKeyboard::CharacterKey, int(text.toUpper().at(0).unicode()), {}};
    return row;
}

Key control(const QString& label, const QString& icon = {})
{
    return Key{label, {}, VirtKeyboard::ControlKey, 0, icon};
}

Key typing(const QString& label, const QString& text, int code, const QString& icon = {})
{
    return Key{label, text, VirtKeyboard::CharacterKey, code, icon};
}

const QString ShiftIcon = QStringLiteral(":/img/img/arrowup.png");
const QString BackIcon = QStringLiteral(":/img/img/arrowback.png");
const QString LanguageIcon = QStringLiteral(":/img/img/planet.png");

Key backspace()
{
    return typing({}, {}, Qt::Key_Backspace, BackIcon);
}

Row withEnds(Key first, Row middle, Key last)
{
    middle.prepend(first);
    middle.append(last);
    return middle;
}

// The keys' names are Russian in every layout.
Key space()
{
    return typing(QStringLiteral("Пробел"), QStringLiteral(" "), Qt::Key_Space);
}

Key enter()
{
    return typing(QStringLiteral("Ввод"), QStringLiteral("\r"), Qt::Key_Return);
}

Row lettersBottom()
{
    return {control(QStringLiteral("123 ")), control({}, LanguageIcon), space(), enter()};
}

Row signsBottom()
{
    return {control(QStringLiteral("ABC")), space(), enter()};
}

QRect onScreen(const QWidget* widget)
{
    return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
}

bool isLetter(const Key& key)
{
    return key.kind == VirtKeyboard::CharacterKey && key.text.size() == 1 &&
           key.text.at(0).isLetter();
}

} // namespace

const VirtKeyboard::Layout& VirtKeyboard::latinLayout()
{
    static const Layout layout = {
        characters(QStringLiteral("q w e r t y u i o p")),
        characters(QStringLiteral("a s d f g h j k l")),
        withEnds(control({}, ShiftIcon), characters(QStringLiteral("z x c v b n m")), backspace()),
        lettersBottom(),
    };
    return layout;
}

const VirtKeyboard::Layout& VirtKeyboard::russianLayout()
{
    static const Layout layout = {
        characters(QStringLiteral("й ц у к е н г ш щ з х ъ")),
        characters(QStringLiteral("ф ы в а п р о л д ж э ё")),
        withEnds(control({}, ShiftIcon), characters(QStringLiteral("я ч с м и т ь б ю")),
                 backspace()),
        lettersBottom(),
    };
    return layout;
}

const VirtKeyboard::Layout& VirtKeyboard::figuresLayout()
{
    static const Layout layout = [] {
        Row second = characters(QStringLiteral("- / : ; ( ) $ & @ \""));
        second[7].label = QStringLiteral("&&"); // a lone & would be taken as a mnemonic
        return Layout{
            characters(QStringLiteral("1 2 3 4 5 6 7 8 9 0")),
            second,
            withEnds(control(QStringLiteral("#+=")), characters(QStringLiteral(". , ? ! '")),
                     backspace()),
            signsBottom(),
        };
    }();
    return layout;
}

const VirtKeyboard::Layout& VirtKeyboard::symbolsLayout()
{
    static const Layout layout = {
        characters(QStringLiteral("[ ] { } # № % ^ * + =")),
        characters(QStringLiteral("_ \\ | ~ < > € £ ¥ •")),
        withEnds(control(QStringLiteral("123")), characters(QStringLiteral(". , ? ! '")),
                 backspace()),
        signsBottom(),
    };
    return layout;
}

const VirtKeyboard::Layout& VirtKeyboard::hexLayout()
{
    static const Layout layout = {
        characters(QStringLiteral("0 1 2 3 4 5 6 7")),
        characters(QStringLiteral("8 9 A B C D E F")),
        {space(), backspace(), enter()},
    };
    return layout;
}

VirtKeyboard::VirtKeyboard(QWidget* parent)
    : QWidget(parent), m_catcher(new KbdCatcher(this)), m_activeFilter(new ActiveFilter(this))
{
    setObjectName(QStringLiteral("VirtKeyboard"));
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(4, 4, 4, 4);
    rows->setSpacing(4);
    for (int r = 0; r < 4; ++r) {
        auto* row = new QHBoxLayout;
        row->setSpacing(4);
        rows->addLayout(row);
    }
    connect(m_catcher, &KbdCatcher::inputRequested, this, &VirtKeyboard::inputReq);
    connect(m_catcher, &KbdCatcher::inputQuited, this, &VirtKeyboard::inputQuit);
    connect(m_activeFilter, &ActiveFilter::left, this, &VirtKeyboard::inputQuit);
    toLang();
}

VirtKeyboard::~VirtKeyboard()
{
    if (programKeyboard() == this)
        programKeyboard() = nullptr;
}

VirtKeyboard* VirtKeyboard::program()
{
    return programKeyboard();
}

void VirtKeyboard::setProgram(VirtKeyboard* keyboard)
{
    programKeyboard() = keyboard;
}

void VirtKeyboard::bond(QWidget* widget, Keys keys)
{
    if (VirtKeyboard* keyboard = program())
        keyboard->bondKeyboard(widget, keys);
}

void VirtKeyboard::bondOpened(QWidget* widget, Keys keys)
{
    VirtKeyboard* keyboard = program();
    if (!keyboard || !keyboard->m_on || !widget)
        return;
    keyboard->bondKeyboard(widget, keys);
    // Asked once the editor has been given its place in the view.
    QTimer::singleShot(0, widget, [keyboard = QPointer<VirtKeyboard>(keyboard), widget] {
        if (keyboard)
            keyboard->requestFor(widget);
    });
}

void VirtKeyboard::keepUncovered(std::initializer_list<QWidget*> buttons)
{
    VirtKeyboard* keyboard = program();
    if (!keyboard || !keyboard->m_on)
        return;
    keyboard->m_kept.removeAll(nullptr);
    for (QWidget* button : buttons)
        keyboard->m_kept << button;
}

void VirtKeyboard::setSwitchedOn(bool on)
{
    m_on = on;
    m_catcher->setEnabled(on);
    m_activeFilter->setEnabled(on);
}

void VirtKeyboard::setHost(QWidget* host)
{
    if (m_host)
        m_host->removeEventFilter(m_activeFilter);
    m_host = host;
    if (host)
        host->installEventFilter(m_activeFilter);
}

void VirtKeyboard::bondKeyboard(QWidget* widget, Keys keys)
{
    if (!m_on || !widget)
        return;
    m_lastBound = widget;
    widget->setProperty(KeysProperty, int(keys));
    widget->installEventFilter(m_catcher);
    // A text edit takes its touches on its viewport, a spin box (a time) on its line.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget))
        area->viewport()->installEventFilter(m_catcher);
    if (qobject_cast<QAbstractSpinBox*>(widget))
        widget->findChild<QLineEdit*>()->installEventFilter(m_catcher);
}

void VirtKeyboard::drawKeyboard(const Layout& layout)
{
    // A key's own click may have brought the change: its button goes once the click is over.
    for (QPushButton* button : std::as_const(m_buttons)) {
        button->setObjectName(QString());
        button->hide();
        button->deleteLater();
    }
    m_buttons.clear();
    m_layout = layout;
    auto* rows = static_cast<QVBoxLayout*>(this->layout());
    for (int r = 0; r < layout.size(); ++r) {
        auto* row = static_cast<QHBoxLayout*>(rows->itemAt(r)->layout());
        for (int k = 0; k < layout.at(r).size(); ++k) {
            const Key& key = layout.at(r).at(k);
            auto* button = new QPushButton(key.label, this);
            button->setObjectName(QString::number(r + 1) + QString::number(k, 16));
            button->setFocusPolicy(Qt::NoFocus);
            button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
            if (!key.icon.isEmpty()) {
                button->setIcon(QIcon(key.icon));
                button->setIconSize(QSize(32, 32));
            }
            // The space bar takes the room of several keys.
            row->addWidget(button, key.code == Qt::Key_Space ? 4 : 1);
            connect(button, &QPushButton::clicked, this, &VirtKeyboard::emulateKey);
            m_buttons << button;
        }
    }
}

void VirtKeyboard::switchLayout(int mode, const Layout& layout)
{
    m_mode = mode;
    m_shift = Shift::Off;
    drawKeyboard(layout);
}

void VirtKeyboard::toLang()
{
    switchLayout(Letters, m_russian ? russianLayout() : latinLayout());
}

void VirtKeyboard::toFigures()
{
    switchLayout(Figures, figuresLayout());
}

void VirtKeyboard::toSyms()
{
    switchLayout(Symbols, symbolsLayout());
}

void VirtKeyboard::toHex()
{
    switchLayout(Hex, hexLayout());
}

void VirtKeyboard::setShift(Shift shift)
{
    m_shift = shift;
    const bool upper = shift != Shift::Off;
    int index = 0;
    for (Row& row : m_layout) {
        for (Key& key : row) {
            QPushButton* button = m_buttons.at(index++);
            if (!isLetter(key))
                continue;
            key.text = upper ? key.text.toUpper() : key.text.toLower();
            button->setText(key.text);
        }
    }
    // A held shift shows as a pressed key.
    if (QPushButton* shiftKey = m_buttons.value(m_layout.at(0).size() + m_layout.at(1).size())) {
        shiftKey->setCheckable(true);
        shiftKey->setChecked(shift == Shift::Locked);
    }
}

void VirtKeyboard::emulateKey()
{
    const QString name = sender() ? sender()->objectName() : QString();
    if (name.size() != 2)
        return;
    const int row = name.at(0).digitValue() - 1;
    bool parsed = false;
    const int position = name.mid(1).toInt(&parsed, 16);
    if (!parsed || row < 0 || row >= m_layout.size() || position >= m_layout.at(row).size())
        return;
    const Key key = m_layout.at(row).at(position);
    if (key.kind == CharacterKey) {
        if (key.code == Qt::Key_Return) {
            finishField();
            return;
        }
        if (!m_target)
            return;
        QKeyEvent press(QEvent::KeyPress, key.code, Qt::NoModifier, key.text);
        QCoreApplication::sendEvent(m_target, &press);
        if (m_shift == Shift::Once && isLetter(key))
            setShift(Shift::Off);
        return;
    }
    if (name == QLatin1String("30")) {
        if (m_mode == Letters)
            setShift(m_shift == Shift::Off    ? Shift::Once
                     : m_shift == Shift::Once ? Shift::Locked
                                              : Shift::Off);
        else if (m_mode == Figures)
            toSyms();
        else
            toFigures();
    } else if (name == QLatin1String("40")) {
        if (m_mode == Letters)
            toFigures();
        else
            toLang();
    } else if (name == QLatin1String("41") && m_mode == Letters) {
        m_russian = !m_russian;
        toLang();
    }
}

void VirtKeyboard::finishField()
{
    // A field of one line finishes on Return, as from a hardware keyboard; a text of several
    // lines would take it as a new line, and a button would be pressed by it.
    if (qobject_cast<QLineEdit*>(m_target) || qobject_cast<QAbstractSpinBox*>(m_target)) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QCoreApplication::sendEvent(m_target, &press);
    }
    inputQuit();
}

void VirtKeyboard::moveBack()
{
    if (!m_moved)
        return;
    if (m_movedWindow)
        m_movedWindow->move(m_movedWindow->x(), m_savedY);
    m_moved = false;
}

void VirtKeyboard::inputReq()
{
    if (!m_on)
        return;
    // The touched field, though its window may not be active and so not have the focus.
    QWidget* touched = m_catcher->touched();
    QWidget* focus = QApplication::focusWidget();
    requestFor(touched ? touched : focus ? focus : m_lastBound.data());
}

void VirtKeyboard::requestFor(QWidget* target)
{
    moveBack();
    if (target && target != m_target)
        openKeysOf(target);
    m_target = target;
    // The touch is not passed on: the field's window is activated and the field gets the
    // focus here, so that it shows where the keys type (a time its first part, chosen).
    if (target && !target->hasFocus()) {
        target->activateWindow();
        target->setFocus(Qt::OtherFocusReason);
    }
    emit kbdRequest();
    if (!m_target)
        return;
    followWindow(m_target);
    uncover();
    // The pointer goes into the keyboard, so that the leave filter does not close it at once.
    QCursor::setPos(mapToGlobal(rect().center()));
}

void VirtKeyboard::openKeysOf(QWidget* target)
{
    switch (Keys(target->property(KeysProperty).toInt())) {
    case Keys::Hex:
        toHex();
        break;
    case Keys::Figures:
        toFigures();
        break;
    case Keys::Text:
        toLang();
        break;
    }
}

void VirtKeyboard::followWindow(QWidget* target)
{
    QWidget* window = target->window();
    if (!m_host || window == m_host || !m_host->windowHandle())
        return;
    m_host->windowHandle()->setTransientParent(window->windowHandle());
}

QRect VirtKeyboard::fieldRect() const
{
    return onScreen(m_target);
}

QList<QRect> VirtKeyboard::keptRects() const
{
    QList<QRect> rects{fieldRect()};
    for (const QPointer<QWidget>& button : m_kept)
        if (button && button->isVisible() && button->window() == m_target->window())
            rects << onScreen(button);
    return rects;
}

void VirtKeyboard::uncover()
{
    const QRect keyboard(mapToGlobal(QPoint(0, 0)), size());
    // How far the lowest of the rectangles reaches into the keyboard.
    const auto overlap = [&keyboard](const QList<QRect>& rects) {
        int deepest = 0;
        for (const QRect& rect : rects)
            if (rect.intersects(keyboard))
                deepest = std::max(deepest, rect.bottom() + 1 - keyboard.top());
        return deepest;
    };
    // The field's own scroll area brings it up first, as far as the area reaches above the
    // keyboard.
    if (overlap({fieldRect()}) > 0)
        scrollAbove(keyboard.top());
    if (overlap(keptRects()) <= 0)
        return;
    // Then its window moves up, but never past the top of the screen.
    QWidget* window = m_target->window();
    const QScreen* screen = window->screen();
    const int screenTop = screen ? screen->availableGeometry().top() : 0;
    const int room = window->frameGeometry().top() - screenTop;
    const int lift = std::min(overlap(keptRects()), std::max(0, room));
    if (lift > 0) {
        m_movedWindow = window;
        m_savedY = window->y();
        window->move(window->x(), m_savedY - lift);
        m_moved = true;
    }
    if (overlap(keptRects()) <= 0)
        return;
    // Still covered: the keyboard goes where it leaves the field and the buttons free, else
    // the field alone, else above the field.
    if (placeClearOf(keptRects()) || placeClearOf({fieldRect()}))
        return;
    QWidget* host = this->window();
    host->move(host->x(), std::max(screenTop, fieldRect().top() - host->frameGeometry().height()));
}

bool VirtKeyboard::placeClearOf(const QList<QRect>& kept)
{
    QWidget* host = this->window();
    const QRect home = host->frameGeometry();
    const QScreen* screen = host->screen();
    const int screenTop = screen ? screen->availableGeometry().top() : 0;
    // The keyboard as low as it can be, not below where it was shown: just above or just
    // below one of the rectangles.
    QList<int> tops{home.top()};
    for (const QRect& rect : kept)
        tops << rect.top() - home.height() << rect.bottom() + 1;
    std::sort(tops.begin(), tops.end(), std::greater<int>());
    for (const int top : std::as_const(tops)) {
        if (top > home.top() || top < screenTop)
            continue;
        const QRect band = home.translated(0, top - home.top());
        if (std::none_of(kept.begin(), kept.end(),
                         [&band](const QRect& rect) { return rect.intersects(band); })) {
            host->move(host->x(), top);
            return true;
        }
    }
    return false;
}

void VirtKeyboard::scrollAbove(int keyboardTop)
{
    for (QWidget* parent = m_target->parentWidget(); parent && !parent->isWindow();
         parent = parent->parentWidget()) {
        auto* area = qobject_cast<QScrollArea*>(parent);
        if (!area)
            continue;
        QScrollBar* bar = area->verticalScrollBar();
        const int viewportTop = area->viewport()->mapToGlobal(QPoint(0, 0)).y();
        const int fieldTop = m_target->mapToGlobal(QPoint(0, 0)).y();
        const int fieldBottom = fieldTop + m_target->height();
        // Up by the overlap, but the field's top stays in the area's view.
        const int shift = std::min({fieldBottom - keyboardTop, fieldTop - viewportTop,
                                    bar->maximum() - bar->value()});
        if (shift > 0)
            bar->setValue(bar->value() + shift);
        return;
    }
}

void VirtKeyboard::inputQuit()
{
    if (!m_on)
        return;
    moveBack();
    emit kbdClose();
}

void VirtKeyboard::showKeyboard(QPushButton* button)
{
    if (m_on && button)
        requestFor(button);
}
