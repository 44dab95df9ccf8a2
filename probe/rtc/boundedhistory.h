#pragma once

#include <deque>
#include <memory>

// The newest records of one kind, oldest first, each a separate copy; adding
// beyond the bound drops the oldest.
template <typename Record>
class BoundedHistory
{
public:
    explicit BoundedHistory(int bound) : m_bound(bound) {}

    void record(const Record &value)
    {
        m_records.push_back(std::make_unique<Record>(value));
        while (static_cast<int>(m_records.size()) > m_bound)
            m_records.pop_front();
    }

    void clear() { m_records.clear(); }
    int size() const { return static_cast<int>(m_records.size()); }
    const Record &at(int index) const { return *m_records.at(static_cast<size_t>(index)); }

private:
    int m_bound;
    std::deque<std::unique_ptr<Record>> m_records;
};
