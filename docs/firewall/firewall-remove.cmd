@echo off
rem Telvo: firewall-allow.cmd が追加した Windows ファイアウォールの規則を削除します。
rem 管理者として実行してください。/q を付けると最後に止まりません。
setlocal
net session >nul 2>&1
if errorlevel 1 (
    echo 管理者として実行してください。右クリックして「管理者として実行」を選びます。
    if /i not "%~1"=="/q" pause
    exit /b 1
)
netsh advfirewall firewall delete rule name="Telvo TelvoClient" >nul 2>&1
netsh advfirewall firewall delete rule name="Telvo TelvoServer" >nul 2>&1
echo ファイアウォールの規則を削除しました。
if /i not "%~1"=="/q" pause
exit /b 0
