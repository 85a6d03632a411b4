// The sender's help, shown in its help window.
#pragma once

namespace telvo {

inline constexpr wchar_t kSenderHelpCaption[] = L"TelvoServer ヘルプ";

inline constexpr wchar_t kSenderHelpText[] =
    L"TelvoServer は、このコンピュータの画面を同じネットワークのコンピュータへ配信します。\r\n"
    L"\r\n"
    L"■ 使い方\r\n"
    L"1. 起動すると「配信設定」が開きます。チャンネル (1～5) とキャプチャ間隔 (秒) を選び、"
    L"「ｷｬﾌﾟﾁｬ開始」を押すと配信が始まります。\r\n"
    L"2. 見る側のコンピュータでは TelvoClient を起動し、同じチャンネルを選びます。\r\n"
    L"3. 配信中は通知領域のアイコンが画面を送るたびに赤く変わります。\r\n"
    L"\r\n"
    L"■ 通知領域のアイコン\r\n"
    L"・ダブルクリック: 配信の開始と停止を切り替えます。\r\n"
    L"・右クリック: メニュー (配信開始、配信停止、配信設定、ヘルプ、終了) を開きます。\r\n"
    L"\r\n"
    L"■ 配信設定\r\n"
    L"・ﾁｬﾝﾈﾙ: 同じネットワークで最大 5 つの配信を使い分けられます。"
    L"見る側は同じチャンネルを選んでください。\r\n"
    L"・ｷｬﾌﾟﾁｬ間隔(秒): 画面を送る間隔です。0 にすると続けて送ります。\r\n"
    L"・圧縮を行う: 通常はオンにしてください。ネットワークの負担が大きく減ります。\r\n"
    L"\r\n"
    L"■ うまく映らないとき\r\n"
    L"・ファイアウォールで TelvoServer と TelvoClient の UDP 通信 (既定ではポート 54321～54325) "
    L"を許可してください。\r\n"
    L"・マルチキャスト (既定のグループ 224.3.2.1) を通さないルーターを越えては届きません。"
    L"同じネットワークの中で使ってください。\r\n"
    L"・設定は TelvoServer.exe と同じフォルダの TelvoServer.ini に保存されます。\r\n";

}  // namespace telvo
