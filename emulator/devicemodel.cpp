#include "devicemodel.h"

#include <algorithm>

namespace emu {

namespace {

enum class Password
{
    None,
    Admin,
    Inspector,
    Zero,
    Service
};

// The device's own command set: the shortest command it accepts, the length of its
// reply, and the password it checks in bytes 1-4.
struct CommandLayout
{
    uint8_t code;
    int commandLength;
    int replyLength;
    Password password;
};

const CommandLayout kCommands[] = {
    {0x01, 6, 4, Password::Admin},
    {0x02, 5, 5 + DeviceModel::BlockSize, Password::Admin},
    {0x1A, 6, 9, Password::Admin},
    {0x1B, 6, 5, Password::Admin},
    {0x21, 8, 2, Password::Admin},
    {0x22, 8, 2, Password::Admin},
    {0x23, 1, 2, Password::Admin},
    {0xEE, 2, 0, Password::None}, // the emulator's own: a reply of the length in byte 1
    {0x03, 5, 2, Password::Admin},
    {0x0D, 22, 9, Password::Inspector},
    {0x0E, 12, 2, Password::Zero},
    {0x0F, 5, 16, Password::Admin},
    {0x10, 5, 16, Password::Admin},
    {0x11, 5, 48, Password::Admin},
    {0x12, 26, 3, Password::Admin},
    {0x13, 5, 3, Password::Admin},
    {0x14, 8, 2, Password::Admin},
    {0x15, 6, 4, Password::Admin},
    {0x16, 1, 2, Password::None},
    {0x17, 46, 3, Password::Admin},
    {0x18, 37, 5, Password::Admin},
    {0x19, 6, 3, Password::Admin},
    {0x1E, 9, 2, Password::Admin},
    {0x1F, 9, 2, Password::Admin},
    {0x20, 6, 2, Password::Admin},
    {0x24, 5, 2, Password::Admin},
    {0x25, 6, 3, Password::Admin},
    {0x26, 6, 7, Password::Admin},
    {0x27, 5, 2, Password::Admin},
    {0x28, 6, 3, Password::Admin},
    {0x29, 7, 3, Password::Admin},
    {0x2A, 6, 3, Password::Admin},
    {0x2B, 5, 3, Password::Admin},
    {0x2C, 5, 3, Password::Admin},
    {0x2D, 6, 45, Password::Admin},
    {0x2E, 7, 44, Password::Admin},
    {0x2F, 47, 3, Password::Admin},
    {0x40, 5, 3, Password::Admin},
    {0x41, 5, 3, Password::Admin},
    {0x42, 5, 3, Password::Admin},
    {0x43, 5, 3, Password::Admin},
    {0x50, 10, 5, Password::Admin},
    {0x51, 10, 5, Password::Admin},
    {0x52, 5, 3, Password::Admin},
    {0x53, 6, 3, Password::Admin},
    {0x54, 5, 3, Password::Admin},
    {0x60, 9, 2, Password::Zero},
    {0x61, 5, 2, Password::Admin},
    {0x62, 6, 29, Password::Admin},
    {0x63, 5, 7, Password::Admin},
    {0x64, 5, 12, Password::Inspector},
    {0x65, 20, 9, Password::Inspector},
    {0x66, 12, 12, Password::Inspector},
    {0x67, 10, 12, Password::Inspector},
    {0x68, 5, 2, Password::Inspector},
    {0x69, 6, 24, Password::Admin},
    {0x80, 60, 3, Password::Admin},
    {0x81, 60, 3, Password::Admin},
    {0x82, 60, 3, Password::Admin},
    {0x83, 60, 3, Password::Admin},
    {0x84, 60, 3, Password::Admin},
    {0x85, 71, 8, Password::Admin},
    {0x86, 54, 3, Password::Admin},
    {0x87, 54, 3, Password::Admin},
    {0x88, 5, 3, Password::Admin},
    {0x89, 5, 8, Password::Admin},
    {0x8A, 54, 3, Password::Admin},
    {0x8B, 54, 3, Password::Admin},
    {0x8C, 5, 3, Password::Admin},
    {0x8D, 6, 3, Password::Admin},
    {0xA0, 13, 2, Password::Admin},
    {0xA1, 11, 2, Password::Admin},
    {0xA2, 12, 2, Password::Admin},
    {0xA3, 10, 2, Password::Admin},
    {0xA4, 7, 2, Password::Admin},
    {0xA5, 9, 2, Password::Admin},
    {0xA6, 7, 2, Password::Admin},
    {0xA7, 5, 2, Password::Admin},
    {0xA8, 5, 2, Password::Admin},
    {0xA9, 5, 2, Password::Admin},
    {0xAA, 5, 2, Password::Admin},
    {0xAB, 5, 7, Password::Admin},
    {0xAC, 5, 2, Password::Admin},
    {0xAD, 5, 23, Password::Admin},
    {0xAE, 5, 28, Password::Admin},
    {0xAF, 5, 2, Password::Admin},
    {0xB0, 5, 3, Password::Admin},
    {0xB1, 5, 20, Password::Admin},
    {0xB2, 5, 2, Password::Admin},
    {0xB3, 5, 2, Password::Admin},
    {0xB4, 7, 13, Password::Admin},
    {0xB5, 9, 3, Password::Admin},
    {0xB6, 13, 8, Password::Admin},
    {0xB7, 11, 6, Password::Admin},
    {0xB8, 12, 8, Password::Admin},
    {0xB9, 10, 6, Password::Admin},
    {0xBA, 7, 22, Password::Admin},
    {0xBB, 5, 4, Password::Admin},
    {0xBC, 6, 2, Password::Admin},
    {0xC0, 46, 3, Password::Admin},
    {0xC1, 7, 3, Password::Admin},
    {0xC3, 9, 3, Password::Admin},
    {0xC4, 47, 3, Password::Admin},
    {0xC5, 7, 3, Password::Admin},
    {0xC6, 5, 3, Password::Admin},
    {0xC7, 5, 3, Password::Admin},
    {0xC8, 5, 6, Password::Admin},
    {0xC9, 7, 2, Password::Admin},
    {0xCA, 5, 2, Password::Admin},
    {0xE0, 5, 2, Password::Admin},
    {0xE1, 5, 3, Password::Admin},
    {0xE2, 5, 3, Password::Admin},
    {0xE3, 5, 3, Password::Admin},
    {0xE4, 46, 3, Password::Admin},
    {0xE5, 6, 5, Password::Admin},
    {0xE6, 6, 99, Password::Admin},
    {0xE7, 5, 2, Password::Admin},
    {0xE8, 5, 2, Password::Inspector},
    {0xF1, 6, 3, Password::Admin},
    {0xF3, 9, 2, Password::Service},
    {0xFC, 1, 8, Password::None},
};

const CommandLayout* findLayout(uint8_t code)
{
    for (const CommandLayout& layout : kCommands)
        if (layout.code == code)
            return &layout;
    return nullptr;
}

uint32_t readNumber(const Bytes& bytes, size_t at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | (at + size_t(i) < bytes.size() ? bytes[at + size_t(i)] : 0);
    return value;
}

void appendNumber(Bytes& bytes, uint64_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.push_back(i < 8 ? uint8_t(value >> (8 * i)) : 0);
}

// UTF-8 Russian text to Windows-1251, the device's code page (ASCII and Cyrillic only).
Bytes cp1251(const std::string& utf8)
{
    Bytes out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const uint8_t c = uint8_t(utf8[i]);
        if (c < 0x80 || i + 1 >= utf8.size()) {
            out.push_back(c);
            continue;
        }
        const unsigned code = ((c & 0x1Fu) << 6) | (uint8_t(utf8[++i]) & 0x3Fu);
        if (code >= 0x410 && code <= 0x44F)
            out.push_back(uint8_t(code - 0x410 + 0xC0));
        else if (code == 0x401)
            out.push_back(0xA8);
        else if (code == 0x451)
            out.push_back(0xB8);
        else
            out.push_back('?');
    }
    return out;
}

Bytes fixedText(const std::string& utf8, int size)
{
    Bytes text = cp1251(utf8);
    text.resize(size_t(size), 0);
    return text;
}

const int kBaudRates[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};

// Decimal digits two to a byte, least significant byte first.
void appendBcd(Bytes& bytes, uint64_t value, int size)
{
    for (int i = 0; i < size; ++i) {
        bytes.push_back(uint8_t((value % 10) | (value / 10 % 10) << 4));
        value /= 100;
    }
}

// A day, month and year (two digits each) in BCD.
void appendBcdDate(Bytes& bytes, int day, int month, int year)
{
    for (const int part : {day, month, year % 100})
        appendBcd(bytes, uint64_t(part), 1);
}

// The first fiscal memory unit: fiscalization records of 20 bytes from offset 0, shift
// totals of 11 bytes from 5120, the unwritten rest FFh, as a registrar in service for a
// year would hold.
Bytes fiscalMemoryImage()
{
    constexpr size_t ShiftArea = 5120;
    constexpr size_t Size = ShiftArea + 2100 * 11 + 4; // a whole number of 32-byte blocks
    Bytes image;
    struct Fiscalization
    {
        int day, month, year;
        uint64_t registration, taxpayer;
        int shift;
        uint32_t password;
    };
    const Fiscalization fiscalizations[] = {
        {15, 3, 2025, 987654321ULL, 770123456789ULL, 1, 11111111},
        {2, 9, 2025, 987654321ULL, 770123456789ULL, 151, 22222222},
        {20, 1, 2026, 987654322ULL, 771987654321ULL, 262, 33333333},
    };
    for (const Fiscalization& f : fiscalizations) {
        appendBcdDate(image, f.day, f.month, f.year);
        appendBcd(image, f.registration, 5);
        appendBcd(image, f.taxpayer, 6);
        appendBcd(image, uint64_t(f.shift), 2);
        appendBcd(image, f.password, 4);
    }
    image.resize(ShiftArea, 0xFF);
    int day = 15, month = 3, year = 2025;
    uint64_t total = 0;
    for (int shift = 1; shift <= 320; ++shift) {
        const size_t start = image.size();
        appendBcdDate(image, day, month, year);
        total += 1234567 + uint64_t(shift % 17) * 98765;
        appendBcd(image, total, 7);
        uint8_t check = 0;
        for (size_t i = start; i < image.size(); ++i)
            check ^= image[i];
        image.push_back(check);
        static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        if (++day > days[month - 1]) {
            day = 1;
            if (++month > 12) {
                month = 1;
                ++year;
            }
        }
    }
    image.resize(Size, 0xFF);
    return image;
}

} // namespace

DeviceModel::Table DeviceModel::makeTable(const std::string& name, int rows,
                                          std::vector<Field> fields)
{
    DeviceModel::Table table{name, rows, std::move(fields), {}};
    table.data.assign(size_t(rows * table.rowSize()), 0);
    for (int r = 0; r < rows; ++r) {
        for (size_t f = 0; f < table.fields.size(); ++f) {
            const DeviceModel::Field& field = table.fields[f];
            uint8_t* at = table.data.data() + r * table.rowSize() + table.offsetOf(int(f));
            if (field.isChar) {
                const Bytes text = fixedText(field.name + " " + std::to_string(r + 1), field.size);
                std::copy(text.begin(), text.end(), at);
            } else {
                const uint64_t value = uint64_t(r + 1) * (f + 1);
                for (int i = 0; i < field.size; ++i)
                    at[i] = i < 8 ? uint8_t(value >> (8 * i)) : 0;
            }
        }
    }
    return table;
}

int DeviceModel::Table::rowSize() const
{
    int size = 0;
    for (const Field& field : fields)
        size += field.size;
    return size;
}

int DeviceModel::Table::offsetOf(int field) const
{
    int offset = 0;
    for (int i = 0; i < field; ++i)
        offset += fields[size_t(i)].size;
    return offset;
}

DeviceModel::DeviceModel()
{
    m_tables = {
        makeTable("Тип и режим кассы", 1,
                  {{"Номер в зале", false, 1, false, 1, 99},
                   {"Автоматическое обнуление", false, 1, false, 0, 1},
                   {"Номер смены", false, 2, true, 0, 65535},
                   {"Заводской номер", false, 4, true, 0, 0x7FFFFFFF},
                   {"Название магазина", true, 30}}),
        makeTable("Пароли кассиров", 30, {{"Пароль", false, 4, false, 0, 9999}, {"Имя", true, 20}}),
        makeTable("Перевод времени", 3,
                  {{"День", false, 1, false, 1, 31},
                   {"Месяц", false, 1, false, 1, 12},
                   {"Час", false, 1, false, 0, 23}}),
        makeTable("Текст в чеке", 12, {{"Строка", true, 40}}),
        makeTable("Типы оплаты", 4, {{"Название", true, 20}}),
        makeTable("Налоговые ставки", 6,
                  {{"Ставка", false, 2, false, 0, 9999}, {"Название", true, 20}}),
        makeTable("Отделы", 16, {{"Название", true, 20}}),
        makeTable("Товары", 300,
                  {{"Код", false, 4, false, 0, 0x7FFFFFFF},
                   {"Остаток", false, 2, false, 0, 65535},
                   {"Признак", false, 1, true, 0, 255},
                   {"Наименование", true, 24}}),
    };

    m_units.push_back(fiscalMemoryImage());
    const int blocks[UnitCount] = {0, 64, 1, 16, 32, 16, 16};
    for (int unit = 2; unit <= UnitCount; ++unit) {
        Bytes image(size_t(blocks[unit - 1] * BlockSize));
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = uint8_t(unit * 31 + i * 7);
        m_units.push_back(std::move(image));
    }
    for (size_t i = 0; i < m_moneyRegisters.size(); ++i) {
        m_moneyRegisters[i] = i * 1234;
        m_operationRegisters[i] = uint16_t(i);
    }
}

int DeviceModel::baudOfCode(int code)
{
    return code >= 0 && code < 7 ? kBaudRates[code] : 0;
}

int DeviceModel::codeOfBaud(int baud)
{
    for (int code = 0; code < 7; ++code)
        if (kBaudRates[code] == baud)
            return code;
    return -1;
}

int DeviceModel::takePendingBaudRate()
{
    const int baud = m_pendingBaudRate;
    m_pendingBaudRate = 0;
    return baud;
}

unsigned DeviceModel::executions(uint8_t code) const
{
    const auto found = m_executions.find(code);
    return found == m_executions.end() ? 0 : found->second;
}

Bytes DeviceModel::reply(uint8_t code, uint8_t error, const Bytes& data) const
{
    Bytes bytes{code, error};
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

Bytes DeviceModel::fixedReply(uint8_t code, int length) const
{
    Bytes bytes = reply(code, NoError);
    if (length > 2)
        bytes.push_back(1); // operator number or the first data byte
    bytes.resize(size_t(std::max(length, 2)), 0);
    return bytes;
}

Bytes DeviceModel::execute(const Bytes& command)
{
    Bytes answer = executeCommand(command);
    if (!command.empty()) {
        const auto cut = m_cutReplies.find(command[0]);
        if (cut != m_cutReplies.end() && answer.size() > cut->second)
            answer.resize(cut->second);
    }
    return answer;
}

Bytes DeviceModel::executeCommand(const Bytes& command)
{
    if (command.empty())
        return {};
    const uint8_t code = command[0];
    ++m_executions[code];
    ++m_total;
    m_commands.push_back(command);
    if (m_commands.size() > CommandHistory)
        m_commands.pop_front();
    const CommandLayout* layout = findLayout(code);
    if (!layout)
        return reply(code, UnknownCommand);
    if (int(command.size()) < layout->commandLength)
        return reply(code, BadParameters);
    if (command.size() >= 5) {
        const uint32_t password = readNumber(command, 1, 4);
        if ((layout->password == Password::Admin || layout->password == Password::Inspector) &&
            password != AdminPassword)
            return reply(code, WrongPassword);
        if (layout->password == Password::Zero && password != 0)
            return reply(code, WrongPassword);
    }

    switch (code) {
    case 0x10:
        return status(code);
    case 0x11:
        return fullStatus(code);
    case 0xFC:
        return deviceParameters();
    case 0x14: {
        const int baud = baudOfCode(command[6]);
        if (!baud)
            return reply(code, BadParameters);
        m_pendingBaudRate = baud;
        return reply(code, NoError);
    }
    case 0xEE: {
        if (command[1] == 1)
            return Bytes{code}; // a reply cut short: no error byte
        Bytes bytes = reply(code, NoError);
        for (int i = 2; i < std::max<int>(command[1], 2); ++i)
            bytes.push_back(uint8_t(i));
        return bytes;
    }
    case 0x15:
        return reply(code, NoError, {uint8_t(std::max(codeOfBaud(m_baudRate), 0)), 100});
    case 0x1E:
    case 0x1F:
    case 0x2D:
    case 0x2E:
        return tableCommand(command);
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x1A:
    case 0x1B:
        return dumpCommand(command);
    case 0x21:
    case 0x22:
    case 0x23:
        return clockCommand(command);
    case 0xE0:
    case 0x40:
    case 0x41:
    case 0x8D:
    case 0x80:
    case 0x81:
    case 0x82:
    case 0x83:
    case 0x84:
    case 0x85:
    case 0x88:
    case 0x89:
        return receiptCommand(command);
    case 0xB3:
    case 0xB5:
    case 0xC9: {
        Bytes bytes = fixedReply(code, layout->replyLength);
        const Bytes text = cp1251("Строка отчёта ЭКЛЗ");
        bytes.insert(bytes.end(), text.begin(), text.end());
        return bytes;
    }
    default:
        return fixedReply(code, layout->replyLength);
    }
}

Bytes DeviceModel::status(uint8_t code) const
{
    Bytes data{1,
               uint8_t(m_registrarFlags),
               uint8_t(m_registrarFlags >> 8),
               m_mode,
               m_submode,
               5,
               0x1F,
               0x2A,
               0,
               0,
               0,
               0,
               0,
               0};
    return reply(code, NoError, data);
}

Bytes DeviceModel::fullStatus(uint8_t code) const
{
    Bytes data{1, '0', '1'};
    appendNumber(data, 1024, 2);
    data.insert(data.end(), {15, 3, 25, 1});
    appendNumber(data, m_documentNumber, 2);
    data.insert(data.end(), {uint8_t(m_registrarFlags), uint8_t(m_registrarFlags >> 8), m_mode,
                             m_submode, 1, '0', '1'});
    appendNumber(data, 512, 2);
    data.insert(data.end(), {15, 3, 25});
    data.insert(data.end(), m_date.begin(), m_date.end());
    data.insert(data.end(), m_time.begin(), m_time.end());
    data.push_back(m_memoryFlags);
    appendNumber(data, 12345678, 4);
    appendNumber(data, m_shiftNumber, 2);
    appendNumber(data, 2100 - m_shiftNumber, 2);
    data.insert(data.end(), {3, 13});
    appendNumber(data, 770123456789ULL, 6);
    return reply(code, NoError, data);
}

Bytes DeviceModel::deviceParameters() const
{
    Bytes data{0x00, 0x00, 1, 0, 7, 0x00};
    const Bytes name = cp1251("ВЕЛКОР ЭМУЛЯТОР");
    data.insert(data.end(), name.begin(), name.end());
    return reply(0xFC, NoError, data);
}

Bytes DeviceModel::tableCommand(const Bytes& command)
{
    const uint8_t code = command[0];
    const int tableNumber = command[5];
    const auto failure = m_tableErrors.find(tableNumber);
    if (code == 0x2D && failure != m_tableErrors.end())
        return reply(code, failure->second);
    if (tableNumber < 1 || tableNumber > int(m_tables.size()))
        return reply(code, NoSuchTable);
    Table& table = m_tables[size_t(tableNumber - 1)];
    if (code == 0x2D) {
        Bytes data = fixedText(table.name, 40);
        appendNumber(data, uint64_t(table.rows), 2);
        data.push_back(uint8_t(table.fields.size()));
        return reply(code, NoError, data);
    }
    const int fieldNumber = code == 0x2E ? command[6] : (command.size() > 8 ? command[8] : 0);
    if (fieldNumber < 1 || fieldNumber > int(table.fields.size()))
        return reply(code, BadParameters);
    const Field& field = table.fields[size_t(fieldNumber - 1)];
    if (code == 0x2E) {
        Bytes data = fixedText(field.name, 40);
        data.push_back(field.isChar ? 1 : 0);
        data.push_back(uint8_t(field.size));
        appendNumber(data, field.isChar ? 0 : uint64_t(field.minimum), field.size);
        appendNumber(data, field.isChar ? 0 : uint64_t(field.maximum), field.size);
        return reply(code, NoError, data);
    }
    const int row = int(readNumber(command, 6, 2));
    if (row < 1 || row > table.rows)
        return reply(code, BadParameters);
    uint8_t* at = table.data.data() + (row - 1) * table.rowSize() + table.offsetOf(fieldNumber - 1);
    if (code == 0x1F)
        return reply(code, NoError, Bytes(at, at + field.size));
    if (int(command.size()) < 9 + field.size)
        return reply(code, BadParameters);
    if (field.readOnly || (tableNumber == 5 && row == 1))
        return reply(code, ReadOnlyField);
    std::copy(command.begin() + 9, command.begin() + 9 + field.size, at);
    return reply(code, NoError);
}

Bytes DeviceModel::dumpCommand(const Bytes& command)
{
    const uint8_t code = command[0];
    switch (code) {
    case 0x01: {
        const int unit = command[5];
        if (unit < 1 || unit > UnitCount)
            return reply(code, BadParameters);
        m_dumpUnit = unit;
        m_dumpBlock = 0;
        Bytes data;
        appendNumber(data, m_units[size_t(unit - 1)].size() / BlockSize, 2);
        return reply(code, NoError, data);
    }
    case 0x02: {
        if (m_dumpUnit == 0)
            return reply(code, 115);
        const Bytes& image = m_units[size_t(m_dumpUnit - 1)];
        if (size_t(m_dumpBlock + 1) * BlockSize > image.size()) {
            m_dumpUnit = 0;
            return reply(code, 115);
        }
        Bytes data{uint8_t(m_dumpUnit)};
        appendNumber(data, uint64_t(m_dumpBlock + 1), 2);
        const auto from = image.begin() + m_dumpBlock * BlockSize;
        data.insert(data.end(), from, from + BlockSize);
        if (size_t(++m_dumpBlock * BlockSize) >= image.size())
            m_dumpUnit = 0;
        return reply(code, NoError, data);
    }
    case 0x03:
        m_dumpUnit = 0;
        return reply(code, NoError);
    case 0x1A: {
        Bytes data{1};
        appendNumber(data, m_moneyRegisters[command[5]], 6);
        return reply(code, NoError, data);
    }
    default: {
        Bytes data{1};
        appendNumber(data, m_operationRegisters[command[5]], 2);
        return reply(code, NoError, data);
    }
    }
}

Bytes DeviceModel::clockCommand(const Bytes& command)
{
    const uint8_t code = command[0];
    if (code == 0x21) {
        std::copy(command.begin() + 5, command.begin() + 8, m_time.begin());
        return reply(code, NoError);
    }
    if (code == 0x22) {
        std::copy(command.begin() + 5, command.begin() + 8, m_pendingDate.begin());
        m_mode = 6;
        return reply(code, NoError);
    }
    if (m_mode != 6)
        return reply(code, 115);
    if (command.size() >= 8 &&
        !std::equal(m_pendingDate.begin(), m_pendingDate.end(), command.begin() + 5))
        return reply(code, BadParameters);
    m_date = m_pendingDate;
    m_mode = 4;
    return reply(code, NoError);
}

Bytes DeviceModel::receiptCommand(const Bytes& command)
{
    const uint8_t code = command[0];
    const bool shiftOpen = m_mode == 2 || m_mode == 3;
    const bool receiptOpen = (m_mode & 0x0F) == 8;
    switch (code) {
    case 0xE0:
        if (m_mode != 4)
            return reply(code, 115);
        m_mode = 2;
        ++m_shiftNumber;
        return reply(code, NoError);
    case 0x40:
        return reply(code, NoError, {1});
    case 0x41:
        if (!shiftOpen)
            return reply(code, 115);
        m_mode = 4;
        return reply(code, NoError, {1});
    case 0x8D:
        if (!shiftOpen || command.size() < 6 || command[5] > 3)
            return reply(code, shiftOpen ? BadParameters : 115);
        m_mode = uint8_t(0x08 | (command[5] << 4));
        m_receiptTotal = 0;
        return reply(code, NoError, {1});
    case 0x85:
    case 0x88:
    case 0x89:
        if (!receiptOpen)
            return reply(code, 85);
        if (code == 0x89) {
            Bytes data{1};
            appendNumber(data, m_receiptTotal, 5);
            return reply(code, NoError, data);
        }
        m_mode = 2;
        ++m_documentNumber;
        if (code == 0x85) {
            const uint64_t paid = readNumber(command, 5, 4) | (uint64_t(command[9]) << 32);
            Bytes data{1};
            appendNumber(data, paid > m_receiptTotal ? paid - m_receiptTotal : 0, 5);
            return reply(code, NoError, data);
        }
        return reply(code, NoError, {1});
    default: // 80h-84h: a sale, purchase, return or storno line
        if (!receiptOpen && !shiftOpen)
            return reply(code, 115);
        if (!receiptOpen)
            m_mode = uint8_t(0x08 | ((code - 0x80) << 4 & 0x30));
        {
            const uint64_t quantity = readNumber(command, 5, 4);
            const uint64_t price = readNumber(command, 10, 4);
            m_receiptTotal += quantity * price / 1000;
        }
        return reply(code, NoError, {1});
    }
}

} // namespace emu
