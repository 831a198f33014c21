#pragma once
// The crosspoints of a mixer window: where each output pair meets each
// input pair, four weights, drawn by one cell grid. Grid column 2c + k is
// output pin k (0 left, 1 right) of pair c, grid row 2r + k input pin k of
// pair r, so the block of a pair of pairs holds, in the order of the
// entries: output left from input left, output right from input left,
// output left from input right, output right from input right.
//
// A cell shows its weight in whole dB on green when connected, "x" on white
// when not, "n/a" after a failed request; a click or Enter opens the weight
// editor for it at the cell's top-left corner.
#include "KorvelCplClient.h"
#include "KorvelMixerRecords.h"
#include "KorvelRecords.h"
#include "WtlCellGrid.h"
#include "WtlLifetime.h"

#include <functional>
#include <string>

class FormWeightCtrl;

class FormMixerCrosspoints : public WtlCellGrid::Source
{
public:
    static constexpr COLORREF CONNECTED_COLOR = RGB(0, 255, 0);
    static constexpr COLORREF OPEN_COLOR = RGB(255, 255, 255);
    static constexpr int GRID_ID = 1200;

    // `weights` holds the window's entries, four per block in the order
    // above, blocks column by column; `outputPins` and `inputPins` the pins
    // of the pairs, two per pair.
    FormMixerCrosspoints(KorvelCplClient& client, KorvelDeviceKey key, KorvelMixerWeight* weights,
                         const KorvelMixerPin* outputPins, int outputPairs,
                         const KorvelMixerPin* inputPins, int inputPairs);
    // Ends an editor still open (a rebuild while it runs).
    ~FormMixerCrosspoints();
    FormMixerCrosspoints(const FormMixerCrosspoints&) = delete;
    FormMixerCrosspoints& operator=(const FormMixerCrosspoints&) = delete;

    HWND Create(HINSTANCE instance, HWND parent, const WtlCellGrid::Geometry& geometry, int x,
                int y);
    WtlCellGrid& Grid() { return m_grid; }
    // Called with the focused cell's rectangle (grid coordinates) so that
    // the window can scroll it into view.
    void OnFocusMoved(std::function<void(const RECT&)> onFocus) { m_onFocus = std::move(onFocus); }

    // The texts from the entries (after a successful read), or "n/a".
    void ShowWeights();
    void ShowWeightFailure();

    // Runs the weight editor of the cell and shows the cell again. The
    // editor's modal loop dispatches notifications; one that rebuilds the
    // window deletes this object meanwhile, which ends the editor, and
    // nothing of it is touched after that.
    void EditWeight(int column, int row);

    std::wstring CellText(int column, int row) const override;
    COLORREF CellColor(int column, int row) const override;
    std::wstring CellTip(int column, int row) const override;
    void ActivateCell(int column, int row) override { EditWeight(column, row); }
    void CellFocused(int column, int row, const RECT& rect) override;

private:
    KorvelMixerWeight& Entry(int column, int row) const;
    bool IsConnected(int column, int row) const;

    KorvelCplClient& m_client;
    KorvelDeviceKey m_key;
    KorvelMixerWeight* m_weights;
    const KorvelMixerPin* m_outputPins;
    int m_outputPairs;
    const KorvelMixerPin* m_inputPins;
    int m_inputPairs;
    bool m_failed = false;
    WtlCellGrid m_grid;
    std::function<void(const RECT&)> m_onFocus;
    FormWeightCtrl* m_editor = nullptr; // while one runs
    WtlLifetime m_lifetime;
};
