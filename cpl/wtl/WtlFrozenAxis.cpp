#include "WtlFrozenAxis.h"

#include <algorithm>

WtlFrozenAxis::WtlFrozenAxis(const Parts& parts, int view) : m_parts(parts)
{
    const int frozen = std::max(parts.frozen, 0);
    const int body = std::max(parts.body, 0);
    m_parts.frozen = frozen;
    m_parts.body = body;
    const int room = std::max(view - std::max(parts.fixed, 0), 0);
    const int leastBody = std::clamp(parts.minBody, 0, body);
    m_frozenShown = std::clamp(room - leastBody, 0, frozen);
    m_bodyShown = std::min(room - m_frozenShown, body);
    m_bodyRange = body - m_bodyShown;
    m_frozenRange = frozen - m_frozenShown;
}

int WtlFrozenAxis::Clamp(int position) const
{
    return std::clamp(position, 0, Range());
}

int WtlFrozenAxis::BodyOffset(int position) const
{
    return std::min(Clamp(position), m_bodyRange);
}

int WtlFrozenAxis::FrozenOffset(int position) const
{
    return Clamp(position) - BodyOffset(position);
}

int WtlFrozenAxis::PositionShowing(int position, int from, int to) const
{
    const int offset = BodyOffset(position);
    int wanted = offset;
    if (to > offset + m_bodyShown) {
        wanted = to - m_bodyShown;
    }
    if (from < wanted) {
        wanted = from;
    }
    wanted = std::clamp(wanted, 0, m_bodyRange);
    // The frozen pane's part of the position is kept only when the body does not move.
    return wanted == offset ? Clamp(position) : wanted;
}
