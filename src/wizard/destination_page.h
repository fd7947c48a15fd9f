// The destination directory page.
#pragma once

#include "wizard/wizard_page.h"

class DestinationPage : public WizardPage
{
public:
    DestinationPage();

    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool OnActivate() override;
    LRESULT OnNext() override;
    LRESULT OnBack() override;
};
