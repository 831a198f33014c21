#include "FormMixerCrosspoints.h"

#include "FormWeightCtrl.h"
#include "MixerPinLabels.h"
#include "MixerValueScale.h"

FormMixerCrosspoints::FormMixerCrosspoints(KorvelCplClient& client, KorvelDeviceKey key,
                                           KorvelMixerWeight* weights,
                                           const KorvelMixerPin* outputPins, int outputPairs,
                                           const KorvelMixerPin* inputPins, int inputPairs)
    : m_client(client), m_key(key), m_weights(weights), m_outputPins(outputPins),
      m_outputPairs(outputPairs), m_inputPins(inputPins), m_inputPairs(inputPairs), m_grid(*this)
{
}

FormMixerCrosspoints::~FormMixerCrosspoints()
{
    if (m_editor != nullptr) {
        m_editor->Abandon();
    }
}

HWND FormMixerCrosspoints::Create(HINSTANCE instance, HWND parent,
                                  const WtlCellGrid::Geometry& geometry, int x, int y)
{
    WtlCellGrid::Geometry cells = geometry;
    cells.columns = 2 * m_outputPairs;
    cells.rows = 2 * m_inputPairs;
    return m_grid.Create(instance, parent, cells, x, y, GRID_ID);
}

void FormMixerCrosspoints::ShowWeights()
{
    m_failed = false;
    if (m_grid.m_hWnd != nullptr) {
        ::InvalidateRect(m_grid.m_hWnd, nullptr, FALSE);
    }
}

void FormMixerCrosspoints::ShowWeightFailure()
{
    m_failed = true;
    if (m_grid.m_hWnd != nullptr) {
        ::InvalidateRect(m_grid.m_hWnd, nullptr, FALSE);
    }
}

void FormMixerCrosspoints::EditWeight(int column, int row)
{
    if (column < 0 || row < 0 || column >= 2 * m_outputPairs || row >= 2 * m_inputPairs ||
        m_editor != nullptr) {
        return;
    }
    RECT cell = m_grid.CellRect(column, row);
    ::MapWindowPoints(m_grid.m_hWnd, nullptr, reinterpret_cast<POINT*>(&cell), 2);
    FormWeightCtrl editor(m_client, m_key, Entry(column, row), POINT{cell.left, cell.top});
    const auto instance =
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(m_grid.m_hWnd, GWLP_HINSTANCE));
    const WtlLifetime::Watch alive = m_lifetime.Observe();
    m_editor = &editor;
    editor.DoModal(instance, ::GetActiveWindow());
    if (!alive) {
        return; // the window was rebuilt while the editor ran
    }
    m_editor = nullptr;
    Entry(column, row) = editor.Entry();
    m_grid.InvalidateCell(column, row);
}

std::wstring FormMixerCrosspoints::CellText(int column, int row) const
{
    if (m_failed) {
        return MixerValueScale::FAILURE_TEXT;
    }
    return MixerValueScale::CellText(Entry(column, row).weight, IsConnected(column, row));
}

COLORREF FormMixerCrosspoints::CellColor(int column, int row) const
{
    return IsConnected(column, row) ? CONNECTED_COLOR : OPEN_COLOR;
}

std::wstring FormMixerCrosspoints::CellTip(int column, int row) const
{
    const std::wstring route = MixerPinLabels::Input(m_inputPins[row]) + L" to " +
                               MixerPinLabels::Output(m_outputPins[column]) + L": ";
    if (m_failed) {
        return route + MixerValueScale::FAILURE_TEXT;
    }
    if (!IsConnected(column, row)) {
        return route + L"not connected";
    }
    return route + MixerValueScale::EditorText(Entry(column, row).weight) + L" dB";
}

void FormMixerCrosspoints::CellFocused(int /*column*/, int /*row*/, const RECT& rect)
{
    if (m_onFocus) {
        m_onFocus(rect);
    }
}

KorvelMixerWeight& FormMixerCrosspoints::Entry(int column, int row) const
{
    const int block = (column / 2) * m_inputPairs + row / 2;
    return m_weights[4 * block + column % 2 + 2 * (row % 2)];
}

bool FormMixerCrosspoints::IsConnected(int column, int row) const
{
    return (Entry(column, row).flags & KORVEL_MIXER_WEIGHT_FLAG_CONNECTED) != 0;
}
