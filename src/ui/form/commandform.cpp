#include "commandform.h"

#include "base/cp1251.h"
#include "base/logpane.h"
#include "catalogue/symboltables.h"
#include "codec/commandexchange.h"
#include "codec/razbcmd.h"
#include "ui/touch/virtkeyboard.h"

#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The text an editor starts with: string defaults are Windows-1251, the others ASCII.
QString editorText(const CmdItem& item)
{
    return item.type == '*' ? Cp1251::decode(item.dftval) : QString::fromUtf8(item.dftval);
}

// Items shown in hexadecimal ('$', and '?' flags stored like them) get the hex keys;
// numbers, timeouts, dates and times the figures.
VirtKeyboard::Keys keysOf(const CmdItem& item)
{
    switch (item.type) {
    case '$':
    case '?':
        return VirtKeyboard::Keys::Hex;
    case '#':
    case '^':
    case '/':
    case ':':
        return VirtKeyboard::Keys::Figures;
    default:
        return VirtKeyboard::Keys::Text;
    }
}

} // namespace

CommandForm::CommandForm(RazbCmd& codec, const SymbolTables& tables, QScrollArea* area)
    : m_codec(codec), m_tables(tables), m_area(area)
{
}

int CommandForm::ceWidth(const CmdItem& item)
{
    switch (item.type) {
    case '*':
        return item.len ? item.len : 40;
    case '$':
        return item.len ? 3 * item.len - 1 : 80;
    case '?':
        return item.len ? 2 * item.len : 80;
    case '#': {
        static const int widths[] = {17, 4, 5, 10, 10, 13, 14, 14, 17};
        return item.len >= 1 && item.len <= 8 ? widths[item.len] : 17;
    }
    case '^':
        return 6;
    case '0':
        return 4;
    case '/':
    case ':':
        return 8;
    default:
        return 0;
    }
}

void CommandForm::forgetWidgets()
{
    for (ItemTable* table : {&m_codec.commandItems(), &m_codec.replyItems()})
        for (CmdItem& item : table->items)
            item.wid = item.head = nullptr;
}

void CommandForm::clearForm()
{
    delete m_area->takeWidget();
    // The scroll area keeps the ranges of the widget it gave up: an empty area would still
    // scroll, over nothing.
    m_area->verticalScrollBar()->setRange(0, 0);
    m_area->horizontalScrollBar()->setRange(0, 0);
    m_replyRows.clear();
    m_flagWidgets.clear();
    m_replyShown = false;
    m_container = nullptr;
    m_layout = nullptr;
    forgetWidgets();
}

quint8 CommandForm::commandCode() const
{
    const ItemTable& items = m_codec.commandItems();
    for (int i = 0; i < items.count; ++i)
        if (items[i].ident == RazbCmd::CmdIdent)
            return items[i].value[0];
    return 0;
}

void CommandForm::ceShowCmd(bool isCmd)
{
    qDebug() << "ceShowCmd" << (isCmd ? "true" : "false");
    ItemTable& items = isCmd ? m_codec.commandItems() : m_codec.replyItems();
    // Running the same command again changes the texts only: no widget is made or laid out,
    // which would otherwise cost more than the exchange itself.
    if (!isCmd && m_replyShown && updateReplyInPlace(replyFlagRows()))
        return;
    if (isCmd || !m_container) {
        clearForm();
        m_container = new QWidget;
        m_layout = new QVBoxLayout;
        m_layout->setAlignment(Qt::AlignTop);
        m_area->setWidget(m_container);
    } else {
        deleteReplyPart();
    }
    const ReplyLayout layout = currentLayout();
    m_layout->setSpacing(1);
    int rows = 0;
    for (int i = 0; i < items.count; ++i) {
        CmdItem& item = items[i];
        qDebug() << "cmdItem:" << item.ident << QString(QLatin1Char(item.type));
        if (!RazbCmd::shownInForm(item))
            continue;
        QLayout* row = addRow(item, isCmd, layout.pointSize, layout.areaWidth);
        if (!isCmd)
            m_replyRows.push_back(row);
        ++rows;
        if (item.type == '?' && m_flagRows)
            for (const FlagRow& flag : m_flagRows(commandCode(), item.ident))
                addFlagRow(flag, isCmd);
    }
    if (isCmd && rows > 0) {
        auto* line = new QFrame;
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        line->setLineWidth(2);
        m_layout->addWidget(line);
    }
    if (!m_container->layout())
        m_container->setLayout(m_layout);
    if (!isCmd) {
        m_replyShown = true;
        m_replyLayout = layout;
    }
    qDebug() << "/ceShowCmd";
}

CommandForm::ReplyLayout CommandForm::currentLayout() const
{
    return {m_area->width(), m_container->geometry().width(), m_area->font().pointSize()};
}

void CommandForm::deleteReplyPart()
{
    ItemTable& items = m_codec.replyItems();
    qDebug() << "delete" << items.count;
    for (CmdItem& item : items.items) {
        delete item.wid;
        delete item.head;
        item.wid = item.head = nullptr;
    }
    // The emptied rows go too, with the flag rows added under them, so each run shows one
    // set of rows.
    for (QLayout* row : m_replyRows) {
        while (QLayoutItem* entry = row->takeAt(0)) {
            delete entry->widget();
            delete entry;
        }
        delete row;
    }
    m_replyRows.clear();
    m_flagWidgets.clear();
    m_replyShown = false;
    qDebug() << "/delete";
}

std::vector<FlagRow> CommandForm::replyFlagRows() const
{
    std::vector<FlagRow> rows;
    if (!m_flagRows)
        return rows;
    const ItemTable& items = m_codec.replyItems();
    for (int i = 0; i < items.count; ++i)
        if (items[i].type == '?' && RazbCmd::shownInForm(items[i]))
            for (FlagRow& row : m_flagRows(commandCode(), items[i].ident))
                rows.push_back(std::move(row));
    return rows;
}

// A value the field shows already is left alone: set again, it would be laid out and
// painted again inside the next exchange's waits, for nothing.
void CommandForm::showValue(QLineEdit* field, const QString& text)
{
    if (field->text() == text)
        return;
    field->setText(text);
    field->setCursorPosition(0);
}

bool CommandForm::updateReplyInPlace(const std::vector<FlagRow>& flags)
{
    const ReplyLayout now = currentLayout();
    if (flags.size() != m_flagWidgets.size() || now.areaWidth != m_replyLayout.areaWidth ||
        now.pointSize != m_replyLayout.pointSize)
        return false;
    // Items parsed anew (another command's lines) have no widgets: their rows are not these.
    const ItemTable& items = m_codec.replyItems();
    for (int i = 0; i < items.count; ++i)
        if (RazbCmd::shownInForm(items[i]) && !items[i].wid)
            return false;
    // Only the flag labels follow the container's width, which a scroll bar come or gone
    // changes: they are fitted again rather than the whole part built anew (it was, at the
    // second run of every command with a long reply, and cost more than the exchange).
    const bool refit = now.containerWidth != m_replyLayout.containerWidth;
    m_replyLayout = now;
    for (size_t i = 0; i < flags.size(); ++i) {
        QLabel* label = m_flagWidgets[i].label;
        const QString text = QStringLiteral("      ") + flags[i].name;
        if (label->text() != text) {
            label->setText(text);
            label->setToolTip(flags[i].name);
        } else if (!refit) {
            showValue(m_flagWidgets[i].value, flags[i].value);
            continue;
        }
        label->setStyleSheet(QString());
        label->setFixedWidth(flagLabelWidth());
        fitText(label, flagLabelWidth());
        showValue(m_flagWidgets[i].value, flags[i].value);
    }
    qDebug() << "ceShowCmd in place";
    return true;
}

void CommandForm::fitText(QLabel* label, int width)
{
    // A name longer than its room is shown in a smaller face rather than run under the value
    // beside it; the form's style sheet sets the face, so the size goes in one too.
    QFont font = m_container->font();
    constexpr int SmallestPointSize = 8;
    while (font.pointSize() > SmallestPointSize &&
           QFontMetrics(font).horizontalAdvance(label->text()) > width)
        font.setPointSize(font.pointSize() - 1);
    if (font.pointSize() != m_container->font().pointSize())
        label->setStyleSheet(QStringLiteral("font-size: %1pt;").arg(font.pointSize()));
}

int CommandForm::flagLabelWidth() const
{
    // The value column is twelve characters wide, room for the longest state ("Не кончились");
    // the label takes the rest of the width.
    constexpr int ValueWidth = 12;
    const int step = m_container->font().pointSize() + 1;
    return std::max(0, m_container->geometry().width() - (ValueWidth + 1) * step - 5);
}

void CommandForm::addFlagRow(const FlagRow& flag, bool isCmd)
{
    auto* label = new QLabel(QStringLiteral("      ") + flag.name, m_container);
    auto* value = new QLineEdit(m_container);
    VirtKeyboard::bond(value);
    value->setReadOnly(true);
    const int width = flagLabelWidth();
    label->setFixedWidth(width);
    fitText(label, width);
    label->setToolTip(flag.name);
    value->setText(flag.value);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(value);
    m_layout->addLayout(row);
    if (!isCmd) {
        m_replyRows.push_back(row);
        m_flagWidgets.push_back({label, value});
    }
}

QLayout* CommandForm::addRow(CmdItem& item, bool isCmd, int pointSize, int areaWidth)
{
    const QString labelText = RazbCmd::trName(item.view);
    auto* label = new QLabel(labelText);
    label->setToolTip(labelText); // a long name is cut at the label's width
    item.head = label;
    QBoxLayout* row = nullptr;
    if (item.type == '@') {
        row = new QHBoxLayout;
        row->addWidget(label);
        if (isCmd) {
            auto* combo = new QComboBox;
            combo->addItems(m_tables.enumNames(item.pref));
            item.wid = combo;
        } else {
            auto* editor = new QLineEdit;
            editor->setReadOnly(true);
            VirtKeyboard::bond(editor);
            item.wid = editor;
        }
        row->addWidget(item.wid);
    } else if (item.type == '$' && !isCmd && item.len > 8) {
        qDebug() << " $$$$$$$$$$$$";
        row = new QVBoxLayout;
        row->setAlignment(Qt::AlignTop);
        auto* box = new QTextEdit;
        box->setReadOnly(true);
        VirtKeyboard::bond(box);
        item.wid = box;
        row->addWidget(label);
        row->addWidget(box);
        qDebug() << " /$$$$$$$$$$$$";
    } else {
        auto* editor = new QLineEdit;
        item.wid = editor;
        if (!item.ned)
            VirtKeyboard::bond(editor, keysOf(item));
        if (!isCmd) {
            editor->setReadOnly(true);
        } else if (item.ned) {
            editor->setReadOnly(true);
            editor->setStyleSheet(QStringLiteral("color: black; background: lightGray"));
        } else {
            if (item.dflt)
                editor->setText(editorText(item));
            if (item.type == '/') {
                // dd/mm/yy with the day's first digit 0-3 and the month's 0-1. The mask's blank
                // stands for a digit not typed yet: without it the empty editor would already
                // be invalid and no keystroke would ever be refused. The validator belongs to
                // the form container, so it lives as long as the editors using it.
                auto* validator = new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[0-3 ][0-9 ]/[0-1 ][0-9 ]/[0-9 ][0-9 ]")),
                    m_container);
                editor->setValidator(validator);
                editor->setInputMask(QStringLiteral("99/99/99"));
            }
        }
        const int width = ceWidth(item);
        qDebug() << "ceWidth=" << width;
        const int labelLength = int(labelText.size());
        if (areaWidth - 10 < pointSize * labelLength / 2 + width * pointSize) {
            row = new QVBoxLayout;
            row->setAlignment(Qt::AlignTop);
            row->addWidget(label);
            row->addWidget(editor);
        } else {
            editor->setFixedWidth((width + 1) * pointSize);
            row = new QHBoxLayout;
            row->addWidget(label);
            row->addStretch();
            row->addWidget(editor);
        }
    }
    m_layout->addLayout(row);
    return row;
}

void CommandForm::readForm()
{
    ItemTable& items = m_codec.commandItems();
    for (int i = 0; i < items.count; ++i) {
        CmdItem& item = items[i];
        if (!RazbCmd::shownInForm(item))
            continue;
        if (item.type == '@') {
            const auto* combo = qobject_cast<QComboBox*>(item.wid);
            m_codec.setEnumChoice(i, combo ? combo->currentIndex() : -1);
            continue;
        }
        if (item.ned)
            continue;
        const auto* editor = qobject_cast<QLineEdit*>(item.wid);
        if (!editor)
            continue;
        item.dftval = item.type == '*' ? Cp1251::encode(editor->text()) : editor->text().toUtf8();
    }
    m_codec.dumpItems(true);
}

void CommandForm::focusTypingField()
{
    const QWidget* focused = QApplication::focusWidget();
    if (!m_container || (focused && m_container->isAncestorOf(focused)))
        return; // the user is typing in the form already: the focus stays where it is
    const ItemTable& items = m_codec.commandItems();
    for (int i = 0; i < items.count; ++i) {
        const CmdItem& item = items[i];
        if (!RazbCmd::shownInForm(item) || item.ned || !item.wid)
            continue;
        item.wid->setFocus(Qt::OtherFocusReason);
        return;
    }
}

void CommandForm::cePutParmRpl()
{
    ItemTable& items = m_codec.replyItems();
    for (int i = 0; i < items.count; ++i) {
        const CmdItem& item = items[i];
        if (item.ident == RazbCmd::CmdIdent)
            continue;
        const QString text = m_codec.replyText(item);
        if (auto* box = qobject_cast<QTextEdit*>(item.wid)) {
            if (box->toPlainText() != text)
                box->setPlainText(text);
        } else if (auto* editor = qobject_cast<QLineEdit*>(item.wid)) {
            showValue(editor, text);
        }
    }
    qDebug() << "cePutParmRpl2";
    m_codec.dumpItems(false);
    qDebug() << "/cePutParmRpl";
}

void CommandForm::ceSendCmdRcvRpl(CommandExchange& exchange, LogPane& pane,
                                  const QString& commandName, int timeoutMs)
{
    qDebug() << "ceSendCmdRcvRpl";
    if (readAndEncode(exchange, commandName))
        sendAndShow(exchange, pane, commandName, timeoutMs);
}

bool CommandForm::readAndEncode(CommandExchange& exchange, const QString& commandName)
{
    readForm();
    return exchange.encode(commandName);
}

void CommandForm::sendAndShow(CommandExchange& exchange, LogPane& pane, const QString& commandName,
                              int timeoutMs)
{
    const CommandExchange::Outcome outcome = exchange.exchangeEncoded(commandName, timeoutMs);
    qDebug() << "ceSendCmdRcvRpl 4";
    ceShowCmd(false);
    qDebug() << "ceSendCmdRcvRpl 5";
    cePutParmRpl();
    if (outcome != CommandExchange::Decoded)
        return;
    qDebug() << "ceSendCmdRcvRpl 6";
    pane.setStatus(RazbCmd::trName(commandName), RazbCmd::tr(" - без ошибок."));
}
