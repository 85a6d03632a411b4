@echo off
rem Telvo: Windows ファイアウォールで TelvoClient の受信 (UDP) と TelvoServer の送信 (UDP) を
rem 許可します。このフォルダの TelvoClient.exe と TelvoServer.exe が対象です。
rem コンピュータごとに一度、管理者として実行してください (フォルダを移したらもう一度)。
rem 取り消しは firewall-remove.cmd です。/q を付けると最後に止まりません。
setlocal
net session >nul 2>&1
if errorlevel 1 (
    echo 管理者として実行してください。右クリックして「管理者として実行」を選びます。
    goto failed
)
set "here=%~dp0"
rem 前に追加した規則は入れ替えます (同じ名前の規則が重ならないように)。
netsh advfirewall firewall delete rule name="Telvo TelvoClient" >nul 2>&1
netsh advfirewall firewall delete rule name="Telvo TelvoServer" >nul 2>&1
netsh advfirewall firewall add rule name="Telvo TelvoClient" dir=in action=allow program="%here%TelvoClient.exe" protocol=UDP profile=domain,private enable=yes
if errorlevel 1 goto failed
netsh advfirewall firewall add rule name="Telvo TelvoServer" dir=out action=allow program="%here%TelvoServer.exe" protocol=UDP profile=domain,private enable=yes
if errorlevel 1 goto failed
echo ファイアウォールの規則を追加しました (ドメインとプライベートのネットワーク)。
if /i not "%~1"=="/q" pause
exit /b 0
:failed
echo ファイアウォールの規則を追加できませんでした。
if /i not "%~1"=="/q" pause
exit /b 1
