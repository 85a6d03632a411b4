#include "viewer/save/ShellExecuteErrorText.h"

namespace telvo {

const wchar_t* ShellExecuteErrorText(long long result) {
    switch (result) {
        case 0:
            return L"メモリまたはリソースが不足しています。";
        case 2:
            return L"指定されたファイルが見つかりませんでした。";
        case 3:
            return L"指定されたパスが、見つかりませんでした。";
        case 5:
            return L"オペレーティングシステムが、指定されたファイルへのアクセスを拒否しました。";
        case 8:
            return L"操作を完了するのに十分なメモリがありません。";
        case 11:
            return L".exe ファイルが無効です。Win32 の .exe ではないか、.exe "
                   L"イメージ内にエラーがあります。";
        case 26:
            return L"共有違反が発生しました。";
        case 27:
            return L"ファイル名の関連付けが不完全または無効です。";
        case 28:
            return L"要求がタイムアウトしたので、DDE トランザクションを完了できませんでした。";
        case 29:
            return L"DDE トランザクションが失敗しました。";
        case 30:
            return L"ほかの DDE トランザクションが現在処理中なので、DDE "
                   L"トランザクションを完了できませんでした。";
        case 31:
            return L"指定されたファイル拡張子に関連付けられたアプリケーションがありません。"
                   L"印刷可能ではないファイルを印刷しようとした場合も、このエラーが返ります。";
        case 32:
            return L"指定されたダイナミックリンクライブラリ（DLL）が見つかりませんでした。";
    }
    return L"";
}

}  // namespace telvo
