#pragma once
// One crosspoint cell of a mixer window: where an output pair meets an
// input pair, four weights, each a clickable text on green (connected) or
// white. A click opens the weight editor for that entry over the text.
#include "FormBaseImpl.h"
#include "KorvelCplClient.h"
#include "KorvelRecords.h"
#include "WtlGdiOwners.h"
#include "resource.h"


class FormWeightCtrl;

class FormMixerConnection : public FormBaseImpl<FormMixerConnection>
{
public:
    static constexpr int IDD = IDD_FORM_MIXERCONNECTION;
    // A bare square of the mixer window, without the pages' edge.
    static constexpr bool CLIENT_EDGE = false;
    static constexpr COLORREF CONNECTED_COLOR = RGB(0, 255, 0);
    static constexpr COLORREF OPEN_COLOR = RGB(255, 255, 255);
    // The four texts in the order of the entries: output left from input
    // left, output right from input left, output left from input right,
    // output right from input right.
    static constexpr int TEXT_IDS[4] = {IDC_CELL_LEFT_FROM_LEFT, IDC_CELL_RIGHT_FROM_LEFT,
                                        IDC_CELL_LEFT_FROM_RIGHT, IDC_CELL_RIGHT_FROM_RIGHT};

    // `weights` points at the cell's four consecutive entries of the window's list.
    FormMixerConnection(KorvelCplClient& client, KorvelDeviceKey key, KorvelMixerWeight* weights)
        : m_client(client), m_key(key), m_weights(weights)
    {
    }
    // Ends an editor still open (a rebuild while it runs).
    ~FormMixerConnection() override;

    LRESULT OnInitForm() override;
    void RefreshForm() override { ShowWeights(); }
    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

    // The four texts from the entries, or "n/a" after a failed request.
    void ShowWeights();
    void ShowWeightFailure();

    // Runs the weight editor of entry `index` (0..3) and shows the entry
    // again. The editor's modal loop dispatches notifications: one that
    // rebuilds the window deletes this cell meanwhile, which ends the
    // editor; nothing of the cell is touched after that.
    void EditWeight(int index);

private:
    static int IndexOf(int textId);
    void ShowWeight(int index);
    HBRUSH OnTextColor(HDC hdc, HWND text);

    KorvelCplClient& m_client;
    KorvelDeviceKey m_key;
    KorvelMixerWeight* m_weights;
    WtlBrush m_connectedBrush;
    WtlBrush m_openBrush;
    FormWeightCtrl* m_editor = nullptr;                           // while one runs
};
