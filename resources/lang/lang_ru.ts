<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>MLogSystem</name>
    <message>
        <source>unknow.ip</source>
        <translation>unknow.ip</translation>
    </message>
</context>
<context>
    <name>MainWin</name>
    <message>
        <source>System
menu</source>
        <translation>Меню</translation>
    </message>
</context>
<context>
    <name>SystemMenuDialog</name>
    <message>
        <source>System menu</source>
        <translation>Системное меню</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Выход</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Reboot</source>
        <translation>Перезагрузка</translation>
    </message>
    <message>
        <source>Power Down</source>
        <translation>Выключение</translation>
    </message>
</context>
</TS>
