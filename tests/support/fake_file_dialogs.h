#pragma once
// Answers the program's file dialogs in tests and records what they asked.

#include <deque>

#include <QStringList>

#include "platform/ui/file_dialog.h"

class FakeFileDialogs : public ui::FileDialogService {
public:
    FakeFileDialogs() { ui::setFileDialogService(this); }
    ~FakeFileDialogs() override { ui::setFileDialogService(nullptr); }

    QString saveFile(QWidget*, const QString& title, const QString& suggestedPath, const QString&) override
    {
        asked << title;
        suggested << suggestedPath;
        return next();
    }
    QString openFile(QWidget*, const QString& title, const QString&, const QString&) override
    {
        asked << title;
        return next();
    }

    std::deque<QString> answers;  // "" answers as a cancelled dialog
    QStringList asked;
    QStringList suggested;

private:
    QString next()
    {
        if (answers.empty())
            return QString();
        const QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
};
