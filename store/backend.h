#pragma once
// What one kind of database provides under DbConnection: statements with
// bound values and forward-only rows, transactions, and the few places where
// the kinds write their SQL differently. The window, the tool, the importer
// and the draw record see only DbConnection; each kind lives in its own file.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace store {

class Value;

// The rows of one statement, read forward only. A fresh cursor stands on its
// first row (or at the end when there is none).
class Cursor {
public:
    virtual ~Cursor() = default;
    virtual bool atEnd() const = 0;
    // Moves to the next row; false with `error` when reading failed.
    virtual bool next(std::string& error) = 0;
    virtual int fieldCount() const = 0;
    virtual bool isNull(int position) const = 0;
    // True when the field holds a whole number (not text that looks like one).
    virtual bool isInteger(int position) const = 0;
    // The field's bytes, valid until the cursor moves; "" for Null.
    virtual std::string_view text(int position) const = 0;
    virtual std::int64_t integer(int position) const = 0;
};

// Why a statement failed, as far as the caller can act on it.
enum class ErrorKind {
    None,
    Other,
    // Another transaction got in the way (a serialization failure or a
    // deadlock): the whole transaction was undone and may simply be tried again.
    Conflict,
    // The server went away: the transaction was undone; the connection is
    // made again on the next statement outside a transaction.
    ConnectionLost,
    // Another program held a lock on the database for longer than this
    // connection waits: the statement changed nothing and may be tried again.
    Busy,
    // The disk holding the database is full: nothing of the failed
    // transaction remains; it may be tried again once there is room.
    DiskFull,
    // The database cannot be changed (a read-only file, folder or disk).
    ReadOnly,
};

// What the opener means to do with the database. A database opened for
// reading only may be read-only on disk; one opened for changing must be
// writable, and is refused at once when it is not.
enum class Access { Change, Read };

// How long a statement waits for another program's lock by default before
// it fails with ErrorKind::Busy.
constexpr int kDefaultLockWaitMs = 8000;

// What a transaction is for. A draw must see and change the list as if alone;
// a copy only needs other copies and imports kept out while it fills a new
// database. A participant list's import checks the list and then inserts:
// no writer, whatever its own isolation, may add a row in between, so it
// also holds `sheet` against every other writer until it ends (waiting at
// most the lock wait for them, else ErrorKind::Busy).
enum class TransactionKind { Draw, Import, ListImport };

// The SQL that differs between the kinds.
struct Dialect {
    const char* name;              // as shown to operators: "SQLite", "PostgreSQL"
    const char* wholeNumberType;   // a column of 64-bit whole numbers
    const char* bytesType;         // a column of raw bytes
    const char* participantIdColumn;  // sheet's id column, numbered by the database
    // Run after rows were inserted into sheet with their ids given, so that
    // the database numbers new rows after them; nullptr when it does anyway.
    const char* afterExplicitIds;
    // Counts the tables named by its one '?' (lower case) that this
    // connection sees: 1 or 0.
    const char* countTables;
    // Makes the index the eligible list is read by, when it is missing
    // (idempotent); nullptr where the kind of database needs none.
    const char* listIndex;
    // Reads those not won yet for the list, highest id first; nullptr for
    // kSelectNotWon, which a file has always been read with. A server sends
    // the columns the list keeps and no others: about a third less work.
    const char* selectNotWon;
    // Keeps column %2 of table %1, of bytes, as it is written, uncompressed;
    // nullptr where the database does not compress such columns.
    const char* keepBytesPlain;
};

// Where a database's contents stand as one connection sees them: two equal
// stamps from the same connection mean that nothing was changed in between,
// neither through this connection nor by anyone else.
struct ChangeStamp {
    std::uint64_t others = 0;  // moves when another connection commits a change
    std::uint64_t own = 0;     // moves with every row this connection changes
    friend bool operator==(const ChangeStamp&, const ChangeStamp&) = default;
};

class Backend {
public:
    virtual ~Backend() = default;
    // Runs one statement with `values` bound to its '?' marks, in order.
    // nullptr with `error` on failure.
    virtual std::unique_ptr<Cursor> execute(const std::string& sql, const std::vector<Value>& values,
                                            std::string& error) = 0;
    // Runs one statement again and again, once per set of values that `next`
    // fills; `next` returns false when there are no more (or to stop early,
    // which the caller then knows). Much faster than execute() per row.
    // False with `error` on failure.
    virtual bool runMany(const std::string& sql, const std::function<bool(std::vector<Value>&)>& next,
                         std::string& error) = 0;
    // Rows changed by the last insert, update or delete.
    virtual int changes() const = 0;
    virtual bool begin(TransactionKind kind, std::string& error) = 0;
    virtual bool commit(std::string& error) = 0;
    // Undoes the open transaction, if any; never fails in a way the caller can mend.
    virtual void rollback() = 0;
    // How the last failure of this back end can be acted on.
    virtual ErrorKind lastErrorKind() const = 0;
    // How long later statements wait for another program's lock.
    virtual void setLockWait(int milliseconds) { (void)milliseconds; }
    virtual const Dialect& dialect() const = 0;
    // Where the contents stand now, read without touching any table; nullopt
    // when this kind of database cannot tell, and then whoever keeps a copy
    // of rows must read them again.
    virtual std::optional<ChangeStamp> changeStamp() { return std::nullopt; }
};

}  // namespace store
