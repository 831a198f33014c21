#pragma once
// A grid of text cells painted by one window. Each cell is a centred text
// on a background colour of its own inside a sunken edge. The cells come in
// blocks (2 x 2 in a mixer: one block per output pair and input pair), one
// block every `pitchX` across and `pitchY` down, with a separator bar in
// the `bar` pixels before each block's column.
//
// The grid asks its source for the texts, colours and tool-tips, and tells
// it when a cell is activated: by a click, or by Enter or Space on the cell
// that has the keyboard focus, which the arrow keys move. One window
// instead of one dialog per block: under Wine each window costs the mixer
// about half a millisecond to open, and a large mixer has hundreds of cells.
#include "WtlWindowImpl.h"

#include <string>

class WtlCellGrid : public WtlWindowImpl
{
public:
    class Source
    {
    public:
        virtual std::wstring CellText(int column, int row) const = 0;
        virtual COLORREF CellColor(int column, int row) const = 0;
        // Empty: no tool-tip for the cell.
        virtual std::wstring CellTip(int column, int row) const = 0;
        // A click, Enter or Space on the cell. May run a modal loop that
        // deletes the grid: the grid touches nothing of itself afterwards.
        virtual void ActivateCell(int column, int row) = 0;
        // The focus cell changed; `rect` in the grid's client coordinates.
        virtual void CellFocused(int column, int row, const RECT& rect) = 0;

    protected:
        ~Source() = default;
    };

    // Pixel sizes; columns and rows count cells, not blocks.
    struct Geometry
    {
        int columns = 0;
        int rows = 0;
        int blockColumns = 2;
        int blockRows = 2;
        int pitchX = 0; // from one block's bar to the next one's
        int pitchY = 0;
        int bar = 0;    // separator width before each block
        int insetX = 0; // block edge to cell and cell to cell
        int insetY = 0;
    };

    explicit WtlCellGrid(Source& source) : m_source(source) {}

    // Creates the grid as a child of `parent` at (x, y), sized to hold every block.
    HWND Create(HINSTANCE instance, HWND parent, const Geometry& geometry, int x, int y, int id);

    SIZE ContentSize() const;
    // The cell's rectangle in the grid's client coordinates.
    RECT CellRect(int column, int row) const;
    // The cell under a client point; false over gaps, bars and edges.
    bool HitTest(POINT point, int& column, int& row) const;

    int FocusColumn() const { return m_focusColumn; }
    int FocusRow() const { return m_focusRow; }
    // Moves the keyboard focus cell (clamped to the grid) and repaints both cells.
    void SetFocusCell(int column, int row);
    void InvalidateCell(int column, int row);

protected:
    const wchar_t* GetWindowClassName() const override { return L"QuilloCellGrid"; }
    void PrepareWindowClass(WNDCLASSEXW& wc) const override;
    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

private:
    SIZE CellSize() const;
    void Paint(HDC dc, const RECT& update);
    void PaintCell(HDC dc, int column, int row);
    void PaintBars(HDC dc, const RECT& update);
    bool OnKeyDown(WPARAM key);
    void OnMouseMove(POINT point);
    void OnButtonDown(POINT point);
    void Activate(int column, int row);
    void CreateToolTip(HINSTANCE instance);
    LRESULT OnToolTipText(NMHDR* header);

    Source& m_source;
    Geometry m_geometry;
    HFONT m_font = nullptr;
    HWND m_toolTip = nullptr;
    std::wstring m_tipText;
    int m_hotColumn = -1; // the cell under the mouse, -1 for none
    int m_hotRow = -1;
    int m_focusColumn = 0;
    int m_focusRow = 0;
    bool m_hasFocus = false;
};
