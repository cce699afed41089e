#pragma once
// A program folder in a temporary directory: a database with participants,
// the pictures, and a window loaded from them, with message boxes answered
// and the program's end intercepted.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include "app/audience_screens.h"
#include "app/conn.h"
#include "app/form1.h"
#include "app/startup.h"
#include "store/participants.h"
#include "tests/support/fake_message_boxes.h"

struct Row {
    std::optional<std::string> name;
    std::string number;
    std::string isluck;
};

class AppFolder {
public:
    AppFolder()
    {
        startup::InstallFontSubstitutes();
        conn::setExitHandler([this](int code) { exitCodes.push_back(code); });
        // The audience view's settings stay in the folder, out of the user's.
        AudienceScreens::setSettingsFile(path() + QStringLiteral("/audience.ini"));
        QDir(path()).mkpath(QStringLiteral("images"));
        const QColor colours[] = {Qt::darkRed, Qt::darkBlue, Qt::darkGreen, Qt::darkMagenta};
        for (int i = 1; i <= 4; ++i) {
            QImage bg(790, 600, QImage::Format_RGB32);
            bg.fill(colours[i - 1]);
            bg.save(path() + QStringLiteral("/images/bg%1.jpg").arg(i), "JPG");
        }
        for (int i = 1; i <= 3; ++i) {
            QImage icon(32, 32, QImage::Format_ARGB32);
            icon.fill(QColor(200, 100, 50, 128));
            icon.save(path() + QStringLiteral("/images/%1.png").arg(i), "PNG");
        }
    }
    ~AppFolder()
    {
        conn::DbConnection.reset();
        conn::setExitHandler(nullptr);
        AudienceScreens::setSettingsFile(QString());
    }

    QString path() const { return m_dir.path(); }
    QString dbPath() const { return path() + QStringLiteral("/Sbase.mdb"); }

    // Creates the database with the rows, ids 1 .. n in order.
    void createDatabase(const std::vector<Row>& rows)
    {
        std::string error;
        if (!store::CreateDatabase(dbPath().toStdString(), error))
            qFatal("%s", error.c_str());
        store::DbConnection db;
        db.OpenFile(dbPath().toStdString());
        for (const Row& row : rows) {
            if (row.name)
                db.Run("insert into sheet (user_name, user_number, isluck) values (?, ?, ?)",
                       {*row.name, row.number, row.isluck});
            else
                db.Run("insert into sheet (user_name, user_number, isluck) values (null, ?, ?)",
                       {row.number, row.isluck});
        }
    }

    static std::vector<Row> participants(int count, int won = 0)
    {
        std::vector<Row> rows;
        for (int i = 1; i <= count; ++i)
            rows.push_back({"name" + std::to_string(i), "N" + std::to_string(i), i <= won ? "是" : "否"});
        return rows;
    }

    // Opens the database and loads the window, as start-up does.
    std::unique_ptr<form1> start()
    {
        if (!conn::OpenDatabase(dbPath(), QString(), QString()))
            return nullptr;
        auto window = std::make_unique<form1>(path());
        if (!window->Form_Load())
            return nullptr;
        return window;
    }

    // isluck of every row, by id.
    std::vector<std::string> flags() const
    {
        store::DbConnection db;
        db.OpenFile(dbPath().toStdString());
        std::vector<std::string> values;
        auto result = db.Execute("select isluck from sheet order by id");
        while (result && !result->EndOfFile()) {
            values.push_back(result->Field(0));
            result->MoveNext();
        }
        return values;
    }

    int wonCount() const
    {
        int count = 0;
        for (const std::string& f : flags())
            count += f == "是";
        return count;
    }

    FakeMessageBoxes boxes;
    std::vector<int> exitCodes;

private:
    QTemporaryDir m_dir;
};
