// The title every page gives the wizard window (the sheet has no caption).
#pragma once

constexpr char kWizardTitle[] = "ブレンナビューア for Windows Ver6.0 のインストール";
