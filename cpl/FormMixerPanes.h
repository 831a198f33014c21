#pragma once
// The panes of a mixer window and their scrolling, as a spreadsheet's
// frozen panes: the rows pane (labels and meters) scrolls only up and down,
// the columns pane (faders, buttons, labels and headers) only sideways, the
// crosspoints pane both ways; the header row above them stays. The window's
// own scroll bars, wheel and the dialog keys' focus moves scroll them, and
// the window's size is kept between a corner with one row and column and
// its whole content, never beyond the work area.
#include "WtlCellGrid.h"
#include "WtlFrozenAxis.h"
#include "WtlScrollPane.h"

#include <windows.h>

class FormMixerPanes
{
public:
    // Pixel sizes of the window's parts for its font and DPI.
    struct Parts
    {
        int bar = 0;    // separator bars and gaps
        int header = 0; // header label rows
        SIZE row{};     // an input strip
        SIZE column{};  // an output strip
        int rows = 0;
        int columns = 0;
        int pitchX() const { return column.cx + bar; }
        int rowsWidth() const { return bar + row.cx; }
        // The columns' strips and their headers; nothing without columns.
        int bandHeight() const { return columns > 0 ? column.cy + header : 0; }
    };

    // Posted after the dialog keys moved the focus: its control is scrolled into view.
    static constexpr UINT WM_MIXER_SHOW_FOCUS = WM_APP + 25;

    // Creates the three (empty) panes in `window`.
    void Create(HINSTANCE instance, HWND window, const Parts& parts);
    // Destroys the panes with everything in them and hides the scroll bars.
    void Destroy();
    bool IsCreated() const { return m_window != nullptr; }
    // The crosspoints' grid, whose focus cell the focus moves scroll to.
    void SetGrid(const WtlCellGrid* grid) { m_grid = grid; }

    const Parts& Sizes() const { return m_parts; }
    WtlScrollPane& Rows() { return m_rows; }
    WtlScrollPane& Crosspoints() { return m_crosspoints; }
    WtlScrollPane& Columns() { return m_columns; }
    POINT Position() const { return m_scroll; }

    // The window's messages about its size, scroll bars, wheel and focus
    // moves; true when one is handled (WM_SIZE is only looked at).
    bool ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The panes placed in the client area, the scroll bars as needed.
    void Layout();
    void ScrollTo(POINT position);
    // Brings `cell` (crosspoint coordinates) into view.
    void ScrollIntoView(const RECT& cell);
    // The window size that holds all the content, with or without room for scroll bars.
    SIZE ContentWindowSize(bool withBars) const;
    RECT WorkArea() const;

private:
    WtlFrozenAxis HorizontalAxis(int view) const;
    WtlFrozenAxis VerticalAxis(int view) const;
    void ShowNeededScrollBars();
    void OnScroll(int bar, int code);
    void OnWheel(WPARAM wParam);
    void ScrollFocusIntoView();
    void OnGetMinMaxInfo(MINMAXINFO& info) const;

    HWND m_window = nullptr;
    Parts m_parts;
    WtlScrollPane m_rows;
    WtlScrollPane m_crosspoints;
    WtlScrollPane m_columns;
    const WtlCellGrid* m_grid = nullptr;
    POINT m_scroll{0, 0};
    bool m_inLayout = false;
};
