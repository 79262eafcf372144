#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace emu {

using Bytes = std::vector<uint8_t>;

// Device error codes the model answers with.
enum DeviceError : uint8_t
{
    NoError = 0,
    BadParameters = 51,
    UnknownCommand = 55,
    WrongPassword = 79,
    BadMode = 80,
    NoSuchTable = 93,
    ReadOnlyField = 122,
};

// A registrar as far as the test tool can see it: it executes one command array and
// returns the reply array (code, error byte, data). Not thread-safe; its owner serialises.
class DeviceModel
{
public:
    static constexpr uint32_t AdminPassword = 30;
    static constexpr int BlockSize = 32;
    static constexpr int UnitCount = 7;

    struct Field
    {
        std::string name;
        bool isChar = false;
        int size = 1;
        bool readOnly = false;
        int minimum = 0;
        int maximum = 0;
    };
    struct Table
    {
        std::string name;
        int rows = 1;
        std::vector<Field> fields;
        Bytes data; // rows x row size
        int rowSize() const;
        int offsetOf(int field) const;
        // The value bytes of a field (from 0) in a row (from 0).
        uint8_t* value(int row, int field)
        {
            return data.data() + row * rowSize() + offsetOf(field);
        }
    };
    // A table whose BIN fields hold row x field number and CHAR fields "name row".
    static Table makeTable(const std::string& name, int rows, std::vector<Field> fields);

    DeviceModel();

    Bytes execute(const Bytes& command);

    // Baud rates by their codes 0 to 6 (2400 to 115200); -1 / 0 when unknown.
    static int baudOfCode(int code);
    static int codeOfBaud(int baud);
    int baudRate() const { return m_baudRate; }
    void setBaudRate(int baud) { m_baudRate = baud; }
    // Set by command 14h; takes effect once its reply has been acknowledged.
    int takePendingBaudRate();

    // What the device did, for tests and the one-line summaries.
    unsigned executions(uint8_t code) const;
    unsigned totalExecutions() const { return m_total; }
    uint8_t mode() const { return m_mode; }
    // The command arrays received, oldest first; the latest CommandHistory of them.
    static constexpr size_t CommandHistory = 4096;
    const std::deque<Bytes>& commands() const { return m_commands; }
    void clearCommands() { m_commands.clear(); }
    // The registrar's and the fiscal memory's status flags in 10h and 11h.
    void setStatusFlags(uint16_t registrar, uint8_t fiscalMemory)
    {
        m_registrarFlags = registrar;
        m_memoryFlags = fiscalMemory;
    }
    const std::vector<Table>& tables() const { return m_tables; }
    std::vector<Table>& tables() { return m_tables; }
    // The structure request of table n (from 1) is answered with this error from now on.
    void failTable(int table, uint8_t error) { m_tableErrors[table] = error; }
    const Bytes& unitImage(int unit) const { return m_units.at(size_t(unit - 1)); }
    // Replies to `code` are cut to `length` bytes from now on (a device answering short).
    void cutReplies(uint8_t code, size_t length) { m_cutReplies[code] = length; }
    // Replaces a unit's memory; its size should be a whole number of blocks.
    void setUnitImage(int unit, Bytes image) { m_units.at(size_t(unit - 1)) = std::move(image); }

private:
    Bytes executeCommand(const Bytes& command);
    Bytes reply(uint8_t code, uint8_t error, const Bytes& data = {}) const;
    Bytes fixedReply(uint8_t code, int length) const;
    Bytes status(uint8_t code) const;
    Bytes fullStatus(uint8_t code) const;
    Bytes deviceParameters() const;
    Bytes tableCommand(const Bytes& command);
    Bytes dumpCommand(const Bytes& command);
    Bytes receiptCommand(const Bytes& command);
    Bytes clockCommand(const Bytes& command);

    int m_baudRate = 4800;
    int m_pendingBaudRate = 0;
    uint8_t m_mode = 4; // shift closed
    uint8_t m_submode = 0;
    uint16_t m_documentNumber = 1;
    uint16_t m_shiftNumber = 0;
    uint64_t m_receiptTotal = 0;
    std::array<uint8_t, 3> m_date{{8, 12, 26}};
    std::array<uint8_t, 3> m_time{{12, 0, 0}};
    std::array<uint8_t, 3> m_pendingDate{{0, 0, 0}};
    int m_dumpUnit = 0;
    int m_dumpBlock = 0;
    std::vector<Table> m_tables;
    std::vector<Bytes> m_units;
    std::array<uint64_t, 256> m_moneyRegisters{};
    std::array<uint16_t, 256> m_operationRegisters{};
    std::map<uint8_t, unsigned> m_executions;
    std::deque<Bytes> m_commands;
    std::map<uint8_t, size_t> m_cutReplies;
    std::map<int, uint8_t> m_tableErrors;
    // A device in good order: both rolls in and seen by their optical sensors, both levers
    // down, the cover down, the drawer closed, no control tape unit.
    uint16_t m_registrarFlags = 0x03C3;
    // Fiscal memory 1 present, its last record sound, battery over 80 %, shift closed.
    uint8_t m_memoryFlags = 0x21;
    unsigned m_total = 0;
};

} // namespace emu
