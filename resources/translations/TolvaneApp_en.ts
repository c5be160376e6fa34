<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>AboutBox</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>关于 TolvaneApp</source>
        <translation>About TolvaneApp</translation>
    </message>
    <message>
        <source>，1.0 版</source>
        <translation>, version 1.0</translation>
    </message>
    <message>
        <source>Copyright (C) 2024 Tolvane panel developers</source>
        <translation>Copyright (C) 2024 Tolvane panel developers</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>关于 TolvaneApp(&amp;A)...</source>
        <translation>&amp;About TolvaneApp...</translation>
    </message>
    <message>
        <source>please select you file</source>
        <translation>Choose the folder for the record files</translation>
    </message>
</context>
<context>
    <name>Panel</name>
    <message>
        <source>The label template is too long to send over the network (%1 bytes, at most %2).</source>
        <translation>The label template is too long to send over the network (%1 bytes, at most %2).</translation>
    </message>
    <message>
        <source>The label template is too long to send over the serial line (%1 bytes, at most %2).</source>
        <translation>The label template is too long to send over the serial line (%1 bytes, at most %2).</translation>
    </message>
    <message>
        <source>WIFI名称或密码含有逗号或空字符，未发送!</source>
        <translation>The Wi-Fi name or password contains a comma or a NUL character. Nothing was sent.</translation>
    </message>
    <message>
        <source>未找到本机网络地址，设备无法连接面板，未发送!</source>
        <translation>No network address of this computer was found; the machine could not reach the panel. Nothing was sent.</translation>
    </message>
    <message>
        <source>打开COM失败!</source>
        <translation>Could not open %1.</translation>
    </message>
    <message>
        <source>写串口失败，请选择正确串口号!</source>
        <translation>Could not write to the serial port %1. Please choose the right port.</translation>
    </message>
</context>
</TS>
