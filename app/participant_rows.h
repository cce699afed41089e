#pragma once
// The not-yet-won participants as the hidden list grid shows them: column 1
// the id, 2 the name, 3 the number, read straight from the held list.

#include "app/grid.h"
#include "draw/participant_list.h"

class ParticipantRows : public GridRows {
public:
    explicit ParticipantRows(const draw::ParticipantList& list) : m_list(list) {}
    int count() const override { return int(m_list.size()); }
    QString text(int row, int column) const override
    {
        const auto r = std::size_t(row);
        switch (column) {
        case 1: return QString::fromStdString(m_list.idText(r));
        case 2: return fromUtf8(m_list.name(r));
        case 3: return fromUtf8(m_list.number(r));
        default: return {};
        }
    }

private:
    static QString fromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

    const draw::ParticipantList& m_list;
};
