#pragma once
// The throwaway PostgreSQL server that `make test` starts (pg_server.sh, a
// ctest fixture): where it listens, and a fresh schema of its database per
// test, so that tests running side by side never see each other's tables.

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>

#include <libpq-fe.h>

namespace testsupport {

// The server's socket folder, or "" with `why` when no test server runs
// (the test was started by hand, outside ctest).
inline std::string pgServerHost(std::string& why)
{
    const char* state = std::getenv("SORTIA_TEST_PG_STATE");
    if (!state) {
        why = "no PostgreSQL test server: run through ctest (make test), which starts one";
        return {};
    }
    std::ifstream in(std::string(state) + "/host");
    std::string host;
    std::getline(in, host);
    if (host.empty()) {
        std::ifstream reason(std::string(state) + "/why");
        if (!std::getline(reason, why) || why.empty())
            why = std::string("the PostgreSQL test server did not start (nothing in ") + state + "/host)";
    }
    return host;
}

// A data source for database `database` of the server at `host`, whose
// tables are looked up in `schema` first.
inline std::string pgDataSource(const std::string& host, const std::string& schema,
                                const std::string& database = "sortia")
{
    std::string uri = "postgresql://sortia@/" + database + "?host=" + host;
    if (!schema.empty())
        uri += "&options=-csearch_path%3D" + schema;
    return uri;
}

// Runs SQL (several statements allowed) on the server; "" or the error.
inline std::string pgRun(const std::string& dataSource, const std::string& sql)
{
    PGconn* connection = PQconnectdb(dataSource.c_str());
    PQsetNoticeProcessor(connection, [](void*, const char*) {}, nullptr);
    std::string error;
    if (PQstatus(connection) != CONNECTION_OK) {
        error = PQerrorMessage(connection);
    } else {
        PGresult* result = PQexec(connection, sql.c_str());
        const ExecStatusType status = PQresultStatus(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            error = PQresultErrorMessage(result);
        PQclear(result);
    }
    PQfinish(connection);
    return error;
}

// A schema of its own on the test server, dropped with everything in it at
// the end. valid() is false (with why()) when there is no server.
class PgScratchSchema {
public:
    PgScratchSchema()
    {
        m_host = pgServerHost(m_why);
        if (m_host.empty())
            return;
        static std::atomic<int> counter{0};
        m_schema = "t" + std::to_string(getpid()) + "_" + std::to_string(counter++);
        const std::string error = pgRun(pgDataSource(m_host, ""), "create schema " + m_schema);
        if (!error.empty()) {
            m_why = "cannot make a schema on the PostgreSQL test server: " + error;
            m_schema.clear();
        }
    }
    ~PgScratchSchema()
    {
        if (!m_schema.empty())
            pgRun(pgDataSource(m_host, ""), "drop schema " + m_schema + " cascade");
    }
    PgScratchSchema(const PgScratchSchema&) = delete;
    PgScratchSchema& operator=(const PgScratchSchema&) = delete;

    bool valid() const { return !m_schema.empty(); }
    const std::string& why() const { return m_why; }
    const std::string& host() const { return m_host; }
    const std::string& schema() const { return m_schema; }
    std::string dataSource() const { return pgDataSource(m_host, m_schema); }

private:
    std::string m_host;
    std::string m_schema;
    std::string m_why;
};

// A server of the test's own, for tests that kill it and start it again: the
// shared one must not go away under other tests. started() is false (with
// why()) when there is no test server script or the server did not start;
// a test then skips with that reason. Stopped at the end, and by the
// script's watcher should the test process die.
class PgOwnServer {
public:
    PgOwnServer()
    {
        const char* script = std::getenv("SORTIA_PG_SERVER_SCRIPT");
        std::string sharedWhy;
        if (!script || pgServerHost(sharedWhy).empty()) {
            m_why = script ? sharedWhy : "no PostgreSQL server script: run through ctest (make test)";
            return;
        }
        m_script = script;
        char folder[] = "/tmp/sortia-own-pg-XXXXXX";
        if (!mkdtemp(folder)) {
            m_why = "cannot make a folder for the server's state";
            return;
        }
        m_state = folder;
        if (!act("start")) {
            m_why = "the test's own PostgreSQL server did not start";
            return;
        }
        std::ifstream in(m_state + "/host");
        std::getline(in, m_host);
    }
    ~PgOwnServer()
    {
        if (!m_state.empty()) {
            act("stop");
            std::system(("rm -rf '" + m_state + "'").c_str());
        }
    }
    PgOwnServer(const PgOwnServer&) = delete;
    PgOwnServer& operator=(const PgOwnServer&) = delete;

    bool started() const { return !m_host.empty(); }
    const std::string& why() const { return m_why; }
    std::string dataSource() const { return pgDataSource(m_host, ""); }
    bool kill() { return act("kill"); }        // at once, as a crash would
    bool restart() { return act("restart"); }  // after kill

private:
    bool act(const std::string& action)
    {
        const std::string command = "SORTIA_PG_STARTER=" + std::to_string(getpid()) + " '" + m_script + "' " +
                                    action + " '" + m_state + "' >/dev/null";
        return std::system(command.c_str()) == 0;
    }

    std::string m_script;
    std::string m_state;
    std::string m_host;
    std::string m_why;
};

}  // namespace testsupport
