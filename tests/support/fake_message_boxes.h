#pragma once
// Answers the program's message boxes in tests and records what they said.

#include <deque>
#include <vector>

#include <QStringList>

#include "platform/ui/message_box.h"

struct ShownBox {
    QString text;
    QString title;
    ui::Buttons buttons;
    ui::Icon icon;
    ui::Result defaultButton;
};

class FakeMessageBoxes : public ui::MessageBoxService {
public:
    FakeMessageBoxes() { ui::setMessageBoxService(this); }
    ~FakeMessageBoxes() override { ui::setMessageBoxService(nullptr); }

    ui::Result show(const QString& text, const QString& title, ui::Buttons buttons, ui::Icon icon,
                    ui::Result defaultButton) override
    {
        shown.push_back({text, title, buttons, icon, defaultButton});
        if (!answers.empty()) {
            const ui::Result answer = answers.front();
            answers.pop_front();
            return answer;
        }
        // Unanswered boxes are closed: No, Cancel, or OK.
        switch (buttons) {
        case ui::Buttons::YesNo: return ui::Result::No;
        case ui::Buttons::RetryCancel: return ui::Result::Cancel;
        case ui::Buttons::Ok: break;
        }
        return ui::Result::Ok;
    }

    QStringList texts() const
    {
        QStringList list;
        for (const ShownBox& box : shown)
            list << box.text;
        return list;
    }

    std::vector<ShownBox> shown;
    std::deque<ui::Result> answers;
};
