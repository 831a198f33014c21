#pragma once
// One input row of a mixer window: the pair's label and its two level
// meters, left on top. The strip reads its levels from two entries of the
// window's input level list, which the window fills on every timer tick.
#include "FormBaseImpl.h"
#include "KorvelMixerRecords.h"
#include "WtlLevelMeter.h"
#include "resource.h"

#include <string>

class FormStereoInputCtrl : public FormBaseImpl<FormStereoInputCtrl>
{
public:
    static constexpr int IDD = IDD_FORM_STEREOINPUTCTRL;
    // A bare row of the mixer window, without the pages' edge.
    static constexpr bool CLIENT_EDGE = false;

    FormStereoInputCtrl(const std::wstring& label, const KorvelMixerLevel* left,
                        const KorvelMixerLevel* right)
        : m_label(label), m_left(left), m_right(right)
    {
    }

    LRESULT OnInitForm() override;
    void RefreshForm() override { ShowLevels(); }

    // Both meters from the entries, or (after a failed request) at their minimum.
    void ShowLevels();
    void DropLevels();

    const WtlLevelMeter& Meter(bool left) const { return left ? m_leftMeter : m_rightMeter; }

private:
    std::wstring m_label;
    const KorvelMixerLevel* m_left;
    const KorvelMixerLevel* m_right;
    WtlLevelMeter m_leftMeter;
    WtlLevelMeter m_rightMeter;
};
