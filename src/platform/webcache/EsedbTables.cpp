#include "platform/webcache/EsedbTables.h"

#include <libesedb.h>

#include <map>
#include <memory>
#include <string>

#include "ground/ByteReader.h"

namespace pellimor::webcache {

namespace {

// Longer texts than these are no address, name or header block a browser kept.
constexpr std::size_t kLongestText = 64 * 1024;
constexpr std::size_t kLongestHeaders = 256 * 1024;

std::string Message(libesedb_error_t*& error) {
    std::string text = "unknown error";
    if (error != nullptr) {
        char buffer[2048] = {};
        if (libesedb_error_sprint(error, buffer, sizeof buffer) > 0) {
            text = buffer;
            // libesedb stacks its messages innermost last; the first says enough.
            text = text.substr(0, text.find('\n'));
        }
        libesedb_error_free(&error);
    }
    return text;
}

struct FileCloser {
    void operator()(libesedb_file_t* file) const {
        libesedb_file_close(file, nullptr);
        libesedb_file_free(&file, nullptr);
    }
};
struct TableFree {
    void operator()(libesedb_table_t* table) const { libesedb_table_free(&table, nullptr); }
};
struct RecordFree {
    void operator()(libesedb_record_t* record) const { libesedb_record_free(&record, nullptr); }
};
struct LongValueFree {
    void operator()(libesedb_long_value_t* value) const {
        libesedb_long_value_free(&value, nullptr);
    }
};
using File = std::unique_ptr<libesedb_file_t, FileCloser>;
using Table = std::unique_ptr<libesedb_table_t, TableFree>;
using Record = std::unique_ptr<libesedb_record_t, RecordFree>;
using LongValue = std::unique_ptr<libesedb_long_value_t, LongValueFree>;

// The columns of a table by name.
Result<std::map<std::string, int>> Columns(libesedb_table_t* table) {
    libesedb_error_t* error = nullptr;
    int count = 0;
    if (libesedb_table_get_number_of_columns(table, &count, 0, &error) != 1) {
        return Fail(Message(error));
    }
    std::map<std::string, int> columns;
    for (int i = 0; i < count; ++i) {
        libesedb_column_t* column = nullptr;
        if (libesedb_table_get_column(table, i, &column, 0, &error) != 1) {
            return Fail(Message(error));
        }
        std::size_t size = 0;
        char name[256] = {};
        if (libesedb_column_get_utf8_name_size(column, &size, &error) == 1 && size > 0 &&
            size <= sizeof name &&
            libesedb_column_get_utf8_name(column, reinterpret_cast<std::uint8_t*>(name), size,
                                          &error) == 1) {
            columns.emplace(std::string(name), i);
        }
        if (error != nullptr) {
            libesedb_error_free(&error);
        }
        libesedb_column_free(&column, nullptr);
    }
    return columns;
}

class RowReader {
  public:
    RowReader(libesedb_record_t* record, const std::map<std::string, int>& columns)
        : record_(record), columns_(columns) {}

    // A fixed-size value (integers, times) as the unsigned number of its little-endian bytes.
    std::optional<std::uint64_t> Number(const char* name) const {
        const int index = Index(name);
        std::size_t size = 0;
        libesedb_error_t* error = nullptr;
        if (index < 0 || libesedb_record_get_value_data_size(record_, index, &size, &error) != 1 ||
            size == 0 || size > 8) {
            Forget(error);
            return std::nullopt;
        }
        std::uint8_t data[8] = {};
        if (libesedb_record_get_value_data(record_, index, data, size, &error) != 1) {
            Forget(error);
            return std::nullopt;
        }
        const ByteReader bytes(std::span<const std::uint8_t>(data, size));
        switch (size) {
            case 1:
                return bytes.U8(0);
            case 2:
                return bytes.U16(0);
            case 4:
                return bytes.U32(0);
            case 8:
                return bytes.U64(0);
            default:
                return std::nullopt;
        }
    }

    std::optional<std::string> Text(const char* name) const {
        const int index = Index(name);
        if (index < 0) {
            return std::nullopt;
        }
        libesedb_error_t* error = nullptr;
        std::size_t size = 0;
        std::string text;
        if (IsLong(index)) {
            const LongValue value = Long(index);
            if (!value ||
                libesedb_long_value_get_utf8_string_size(value.get(), &size, &error) != 1 ||
                size == 0 || size > kLongestText) {
                Forget(error);
                return std::nullopt;
            }
            text.resize(size);
            if (libesedb_long_value_get_utf8_string(
                    value.get(), reinterpret_cast<std::uint8_t*>(text.data()), size, &error) != 1) {
                Forget(error);
                return std::nullopt;
            }
        } else {
            if (libesedb_record_get_value_utf8_string_size(record_, index, &size, &error) != 1 ||
                size == 0 || size > kLongestText) {
                Forget(error);
                return std::nullopt;
            }
            text.resize(size);
            if (libesedb_record_get_value_utf8_string(record_, index,
                                                      reinterpret_cast<std::uint8_t*>(text.data()),
                                                      size, &error) != 1) {
                Forget(error);
                return std::nullopt;
            }
        }
        // The size counts the terminating NUL; a NUL inside stays, for the checks to refuse.
        if (!text.empty() && text.back() == '\0') {
            text.pop_back();
        }
        return text;
    }

    std::string Binary(const char* name) const {
        const int index = Index(name);
        if (index < 0) {
            return {};
        }
        libesedb_error_t* error = nullptr;
        std::size_t size = 0;
        std::string bytes;
        if (IsLong(index)) {
            const LongValue value = Long(index);
            if (!value || libesedb_long_value_get_data_size(value.get(), &size, &error) != 1 ||
                size == 0 || size > kLongestHeaders) {
                Forget(error);
                return {};
            }
            bytes.resize(size);
            if (libesedb_long_value_get_data(value.get(),
                                             reinterpret_cast<std::uint8_t*>(bytes.data()), size,
                                             &error) != 1) {
                Forget(error);
                return {};
            }
            return bytes;
        }
        if (libesedb_record_get_value_binary_data_size(record_, index, &size, &error) != 1 ||
            size == 0 || size > kLongestHeaders) {
            Forget(error);
            return {};
        }
        bytes.resize(size);
        if (libesedb_record_get_value_binary_data(
                record_, index, reinterpret_cast<std::uint8_t*>(bytes.data()), size, &error) != 1) {
            Forget(error);
            return {};
        }
        return bytes;
    }

  private:
    static void Forget(libesedb_error_t*& error) {
        if (error != nullptr) {
            libesedb_error_free(&error);
        }
    }
    int Index(const char* name) const {
        const auto found = columns_.find(name);
        return found == columns_.end() ? -1 : found->second;
    }
    bool IsLong(int index) const {
        libesedb_error_t* error = nullptr;
        const int is = libesedb_record_is_long_value(record_, index, &error);
        Forget(error);
        return is == 1;
    }
    LongValue Long(int index) const {
        libesedb_error_t* error = nullptr;
        libesedb_long_value_t* value = nullptr;
        if (libesedb_record_get_long_value(record_, index, &value, &error) != 1) {
            Forget(error);
            return nullptr;
        }
        return LongValue(value);
    }

    libesedb_record_t* record_;
    const std::map<std::string, int>& columns_;
};

Result<Table> OpenTable(libesedb_file_t* file, const std::string& name) {
    libesedb_error_t* error = nullptr;
    libesedb_table_t* table = nullptr;
    const int found = libesedb_file_get_table_by_utf8_name(
        file, reinterpret_cast<const std::uint8_t*>(name.data()), name.size(), &table, &error);
    if (found != 1) {
        return Fail(found == 0 ? "it has no table " + name
                               : "its table " + name + " cannot be read: " + Message(error));
    }
    return Table(table);
}

// Calls each for every record of the table, in the table's order.
Status ForEachRecord(libesedb_table_t* table, const std::string& name,
                     const std::function<bool(const RowReader&)>& each) {
    auto columns = Columns(table);
    if (!columns.ok()) {
        return Fail("the columns of its table " + name + " cannot be read: " + columns.error());
    }
    libesedb_error_t* error = nullptr;
    int count = 0;
    if (libesedb_table_get_number_of_records(table, &count, &error) != 1) {
        return Fail("the rows of its table " + name + " cannot be counted: " + Message(error));
    }
    for (int i = 0; i < count; ++i) {
        libesedb_record_t* raw = nullptr;
        if (libesedb_table_get_record(table, i, &raw, &error) != 1) {
            return Fail("row " + std::to_string(i + 1) + " of its table " + name +
                        " cannot be read: " + Message(error));
        }
        const Record record(raw);
        if (!each(RowReader(record.get(), columns.value()))) {
            break;
        }
    }
    return Done{};
}

}  // namespace

Status ReadTables(int fd, const TableVisitor& visit) {
    libesedb_error_t* error = nullptr;
    libesedb_file_t* raw = nullptr;
    if (libesedb_file_initialize(&raw, &error) != 1) {
        return Fail(Message(error));
    }
    File file(raw);
    // The descriptor's own file, whatever its path has become since it was opened.
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (libesedb_file_open(file.get(), path.c_str(), libesedb_get_access_flags_read(), &error) !=
        1) {
        return Fail("it cannot be opened as an ESE database: " + Message(error));
    }
    auto containers = OpenTable(file.get(), "Containers");
    if (!containers.ok()) {
        return Fail(containers.error());
    }
    std::vector<ContainerRow> rows;
    Status read = ForEachRecord(containers.value().get(), "Containers", [&](const RowReader& r) {
        ContainerRow row;
        row.id = static_cast<std::int64_t>(r.Number("ContainerId").value_or(0));
        row.name = r.Text("Name").value_or(std::string());
        row.directory = r.Text("Directory").value_or(std::string());
        row.secureDirectories = r.Text("SecureDirectories").value_or(std::string());
        rows.push_back(std::move(row));
        return true;
    });
    visit.containers(rows);
    if (!read.ok()) {
        return read;
    }
    std::string problems;
    for (const ContainerRow& container : rows) {
        if (!HoldsBodies(container)) {
            continue;
        }
        const std::string name = "Container_" + std::to_string(container.id);
        auto table = OpenTable(file.get(), name);
        if (!table.ok()) {
            problems += (problems.empty() ? "" : "\n") + table.error();
            continue;
        }
        bool more = true;
        const Status status = ForEachRecord(table.value().get(), name, [&](const RowReader& r) {
            ContentRow row;
            row.entryId = static_cast<std::int64_t>(r.Number("EntryId").value_or(0));
            row.url = r.Text("Url");
            row.filename = r.Text("Filename");
            if (const auto folder = r.Number("SecureDirectory")) {
                row.secureDirectory = static_cast<std::int64_t>(*folder);
            }
            row.fileSize = r.Number("FileSize");
            row.modified = r.Number("ModifiedTime").value_or(0);
            row.accessed = r.Number("AccessedTime").value_or(0);
            row.expiry = r.Number("ExpiryTime").value_or(0);
            row.responseHeaders = r.Binary("ResponseHeaders");
            more = visit.row(container.id, row);
            return more;
        });
        if (!status.ok()) {
            problems += (problems.empty() ? "" : "\n") + status.error();
        }
        if (!more) {
            break;
        }
    }
    if (!problems.empty()) {
        return Fail(problems);
    }
    return Done{};
}

}  // namespace pellimor::webcache
