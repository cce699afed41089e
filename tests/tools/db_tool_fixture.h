#pragma once
// Runs the built sortia-db on a scratch folder: its outputs, the files it
// reads, and what it leaves in the database.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace dbtooltest {

namespace fs = std::filesystem;

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

inline std::vector<std::string> fieldsOf(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

// Whether `user` can run `program` in `folder`, asked by a child that takes
// on the user as the tool would; when not, `why` says what stands in the way.
// A checkout in a private folder (mode 700, as a home folder may be) keeps
// every other user from the built programs.
inline bool userCanRun(uid_t user, const std::string& program, const fs::path& folder, std::string& why)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgid(user) != 0 || setuid(user) != 0)
            _exit(3);
        _exit(access(program.c_str(), X_OK) != 0 ? 1 : access(folder.c_str(), R_OK | X_OK) != 0 ? 2 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const int found = WIFEXITED(status) ? WEXITSTATUS(status) : 3;
    const std::string who = "user " + std::to_string(user);
    why = found == 1   ? who + " cannot reach " + program + " (a folder above it is private to its owner)"
          : found == 2 ? who + " cannot reach the scratch folder " + folder.string()
          : found == 3 ? "cannot run anything as " + who
                       : "";
    return found == 0;
}

class DbToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "sortia-db-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        m_db = (m_dir / "Sbase.mdb").string();
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    // Starts a program with arguments (no shell), its outputs going to the
    // files; as the user runAsUser when that is set (tests run by root that
    // need permissions to count). Returns its process id.
    pid_t startProgram(const std::string& program, const std::vector<std::string>& args, const fs::path& outPath,
                       const fs::path& errPath)
    {
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, 1);
            dup2(err, 2);
            // The messages checked are the English ones, whatever the machine's locale.
            setenv("LANGUAGE", "en", 1);
            if (runIn && chdir(runIn->c_str()) != 0)
                _exit(125);
            if (runAsUser && (setgid(*runAsUser) != 0 || setuid(*runAsUser) != 0))
                _exit(126);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const std::string& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        return pid;
    }

    // Runs a program to its end, capturing both outputs.
    RunResult runProgram(const std::string& program, const std::vector<std::string>& args)
    {
        const fs::path outPath = m_dir / "stdout.txt", errPath = m_dir / "stderr.txt";
        const pid_t pid = startProgram(program, args, outPath, errPath);
        int status = 0;
        waitpid(pid, &status, 0);
        RunResult result;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = readAll(outPath);
        result.err = readAll(errPath);
        return result;
    }

    // sortia-db --db <scratch>/Sbase.mdb args...
    RunResult tool(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--db", m_db});
        return runProgram(SORTIA_DB_TOOL, args);
    }

    std::string writeFile(const std::string& name, const std::string& bytes)
    {
        const std::string path = (m_dir / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // Every row as "user_name user_number isluck" (tab-separated), in id order.
    std::vector<std::string> rows(const std::string& filter = "")
    {
        const RunResult listed = filter.empty() ? tool({"list"}) : tool({"list", filter});
        EXPECT_EQ(listed.status, 0) << listed.err;
        std::vector<std::string> result;
        for (const std::string& line : linesOf(listed.out)) {
            const auto fields = fieldsOf(line);
            EXPECT_EQ(fields.size(), 4u) << line;
            if (fields.size() == 4)
                result.push_back(fields[1] + "\t" + fields[2] + "\t" + fields[3]);
        }
        return result;
    }

    void expectStats(long all, long won, long notWon)
    {
        const RunResult stats = tool({"stats"});
        ASSERT_EQ(stats.status, 0) << stats.err;
        EXPECT_EQ(stats.out, "all\t" + std::to_string(all) + "\nwon\t" + std::to_string(won) + "\nnot won\t" +
                                 std::to_string(notWon) + "\n");
    }

    std::optional<uid_t> runAsUser;
    std::optional<fs::path> runIn;  // the working folder, when not the test's
    fs::path m_dir;
    std::string m_db;
};

}  // namespace dbtooltest
