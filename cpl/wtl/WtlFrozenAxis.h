#pragma once
// One axis of a window with frozen panes: along it lie a `fixed` part that
// never scrolls (a header row), a `frozen` pane that stays in view while
// the body scrolls (row labels, a strip of faders), and the `body`. When
// the view is too short for all three, the body gives way first, down to
// `minBody`; only then is the frozen pane cut, and the scroll range then
// covers the rest of it as well, so that every part can still be reached:
// the first positions scroll the body, the last ones the frozen pane.
class WtlFrozenAxis
{
public:
    struct Parts
    {
        int fixed = 0;
        int frozen = 0;
        int body = 0;
        int minBody = 0;
    };

    // Lays the axis out in a view of `view` pixels.
    WtlFrozenAxis(const Parts& parts, int view);

    int Total() const { return m_parts.fixed + m_parts.frozen + m_parts.body; }
    // The body's and the frozen pane's extents in the view.
    int BodyShown() const { return m_bodyShown; }
    int FrozenShown() const { return m_frozenShown; }
    // Scroll positions run from 0 to Range(); 0 when everything fits.
    int Range() const { return m_bodyRange + m_frozenRange; }
    // The body's and the frozen pane's content offsets at `position` (clamped).
    int BodyOffset(int position) const;
    int FrozenOffset(int position) const;
    // The position that brings [from, to) of the body into view, starting at `position`.
    int PositionShowing(int position, int from, int to) const;

private:
    int Clamp(int position) const;

    Parts m_parts;
    int m_frozenShown = 0;
    int m_bodyShown = 0;
    int m_bodyRange = 0;
    int m_frozenRange = 0;
};
