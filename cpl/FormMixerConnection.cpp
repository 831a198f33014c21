#include "FormMixerConnection.h"

#include "FormWeightCtrl.h"
#include "MixerValueScale.h"

namespace {

bool IsConnected(const KorvelMixerWeight& entry)
{
    return (entry.flags & KORVEL_MIXER_WEIGHT_FLAG_CONNECTED) != 0;
}

} // namespace

FormMixerConnection::~FormMixerConnection()
{
    if (m_editor != nullptr) {
        m_editor->Abandon();
    }
}

LRESULT FormMixerConnection::OnInitForm()
{
    m_connectedBrush.reset(::CreateSolidBrush(CONNECTED_COLOR));
    m_openBrush.reset(::CreateSolidBrush(OPEN_COLOR));
    return 0;
}

bool FormMixerConnection::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam, LRESULT& result)
{
    if (message == WM_CTLCOLORSTATIC &&
        IndexOf(::GetDlgCtrlID(reinterpret_cast<HWND>(lParam))) >= 0) {
        result = reinterpret_cast<LRESULT>(
            OnTextColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
        return true;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == STN_CLICKED && IndexOf(LOWORD(wParam)) >= 0) {
        EditWeight(IndexOf(LOWORD(wParam)));
        result = 0;
        return true;
    }
    return FormBaseImpl::ProcessWindowMessage(hwnd, message, wParam, lParam, result);
}

void FormMixerConnection::ShowWeights()
{
    for (int i = 0; i < 4; ++i) {
        ShowWeight(i);
    }
}

void FormMixerConnection::ShowWeightFailure()
{
    for (int id : TEXT_IDS) {
        SetDlgItemText(id, MixerValueScale::FAILURE_TEXT);
        ::InvalidateRect(GetDlgItem(id), nullptr, TRUE);
    }
}

void FormMixerConnection::EditWeight(int index)
{
    if (index < 0 || index > 3) {
        return;
    }
    RECT text{};
    ::GetWindowRect(GetDlgItem(TEXT_IDS[index]), &text);
    FormWeightCtrl editor(m_client, m_key, m_weights[index], POINT{text.left, text.top});
    const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(m_hWnd, GWLP_HINSTANCE));
    m_editor = &editor;
    if (!RunModal([&] { editor.DoModal(instance, ::GetActiveWindow()); })) {
        return; // the cell was deleted while the editor ran
    }
    m_editor = nullptr;
    m_weights[index] = editor.Entry();
    ShowWeight(index);
}

int FormMixerConnection::IndexOf(int textId)
{
    for (int i = 0; i < 4; ++i) {
        if (TEXT_IDS[i] == textId) {
            return i;
        }
    }
    return -1;
}

void FormMixerConnection::ShowWeight(int index)
{
    const KorvelMixerWeight& entry = m_weights[index];
    SetDlgItemText(TEXT_IDS[index],
                   MixerValueScale::CellText(entry.weight, IsConnected(entry)).c_str());
    // The background follows the connected bit even when the text did not change.
    ::InvalidateRect(GetDlgItem(TEXT_IDS[index]), nullptr, TRUE);
}

HBRUSH FormMixerConnection::OnTextColor(HDC hdc, HWND text)
{
    const bool connected = IsConnected(m_weights[IndexOf(::GetDlgCtrlID(text))]);
    ::SetBkColor(hdc, connected ? CONNECTED_COLOR : OPEN_COLOR);
    return connected ? m_connectedBrush.get() : m_openBrush.get();
}
