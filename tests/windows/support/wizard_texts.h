// What the wizard shows, page by page, as the tests expect it: the title,
// the header texts, the texts of the dialog templates and those the pages
// set when shown. Every test that reads the wizard's texts checks them
// against this one table.
#pragma once

#include <vector>

namespace wizard_texts {

// The sheet's title (every page's title) and the caption of its message boxes.
constexpr const char* kTitle = "ブレンナビューア for Windows Ver6.0 のインストール";
constexpr const char* kCancelQuestion = "インストールを中止しますか?";
constexpr const char* kInstallFailed = "インストールできませんでした。";
constexpr const char* kCopyMethodTitle = "コピー方法の確認";

struct ShownText {
    int control;
    const char* text;
};

struct Page {
    int dialog;
    // Null on the exterior pages, which show no header.
    const char* headerTitle;
    const char* headerSubtitle;
    // Texts of the dialog template.
    std::vector<const char*> templateTexts;
    // Texts the page puts into its controls when it is shown.
    std::vector<ShownText> shownTexts;
};

constexpr const char* kToCancel = "中止する場合は [キャンセル] をクリックしてください。";
constexpr const char* kToFinish = "[完了] をクリックすると、セットアップを終了します。";

// In sheet order.
inline const std::vector<Page> kPages = {
    {201,
     nullptr,
     nullptr,
     {},
     {{101, "ブレンナビューア for Windows Ver6.0 セットアップ プログラムへようこそ。"},
      {102, "このプログラムは、コンピュータにブレンナビューア for Windows Ver6.0 をインストールします。"},
      {103, "このセットアップ プログラムを実行する前に、ブレンナビューア を終了してください。"}}},
    {204,
     "インストール先の選択",
     "セットアップ プログラムは次のディレクトリにブレンナビューア for Windows をインストールします。",
     {"インストール先ディレクトリ", "参照(&R)..."},
     {{101, "ディレクトリが存在しない場合は、作成されます。"},
      {102, "このディレクトリで良い場合は [次へ] をクリックしてください。"},
      {103, kToCancel},
      {104, ""}}},
    {213,
     "ファイルの拡張子やOLEのデータと、プログラムの関連付け",
     "関連付けると、このプログラムを自動的に起動できます。",
     {"拡張子`.kdw'のファイルやOLEオブジェクト`ブレンナ 図面'をこのプログラムに関連付けますか？",
      "[はい] か [いいえ] を選択してから、[次へ] をクリックして続行してください。", "はい", "いいえ"},
     {}},
    {210,
     "インストールの開始",
     "インストールを開始する準備ができました",
     {"インストールを開始するには [インストール] をクリックしてしばらくお待ちください。",
      "インストールには数分間かかるかもしれません。",
      "もしインストールの設定を再検討または変更したいならば、[戻る] をクリックしてください。", kToCancel},
     {}},
    {206,
     nullptr,
     nullptr,
     {"セットアップの完了", kToFinish},
     {{102, "セットアップ プログラムはコンピュータへの ブレンナビューア for Windows Ver6.0 のインストールを終了しました。"}}},
    {110,
     nullptr,
     nullptr,
     {"セットアップの中止", kToFinish},
     {{102, "セットアップ プログラムはコンピュータへの ブレンナビューア for Windows Ver6.0 のインストールを中止しました。"}}},
};

// The entry of dialog; the first page's when there is none.
inline const Page& PageOf(int dialog)
{
    for (const Page& page : kPages)
        if (page.dialog == dialog)
            return page;
    return kPages.front();
}

}  // namespace wizard_texts
