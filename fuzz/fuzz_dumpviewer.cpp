// The dump and fiscal memory viewers over arbitrary dump bytes: every cell of every row.
#include "fuzzsupport.h"
#include "procedures/dumpmodels.h"

#include <memory>

namespace {

void readAll(const QAbstractTableModel& model)
{
    for (int row = 0; row < model.rowCount(); ++row)
        for (int column = 0; column < model.columnCount(); ++column)
            model.data(model.index(row, column));
    for (int column = 0; column < model.columnCount(); ++column)
        model.headerData(column, Qt::Horizontal);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    silenceMessages();
    // The fiscal areas start at 0 and at 5120: short inputs reach the second one too.
    QByteArray dump(reinterpret_cast<const char*>(data), int(size));
    if (size > 0 && data[0] % 2 == 1)
        dump.prepend(QByteArray(5120, '\xFF'));
    DumpTableModel bytes;
    bytes.setDump(&dump);
    readAll(bytes);
    const std::unique_ptr<FiscalRecordModel> fiscalizations(FiscalRecordModel::fiscalizations());
    fiscalizations->setDump(&dump);
    readAll(*fiscalizations);
    const std::unique_ptr<FiscalRecordModel> totals(FiscalRecordModel::shiftTotals());
    totals->setDump(&dump);
    readAll(*totals);
    return 0;
}
