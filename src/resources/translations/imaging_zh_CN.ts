<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>varnet::ImagePanel</name>
    <message><source>Use Fixed Exposure and Gain Settings</source><translation>自定义曝光与增益</translation></message>
    <message><source>Exposure: %1</source><translation>曝光: %1</translation></message>
    <message><source>Auto Exposure</source><translation>自动曝光</translation></message>
    <message><source>Gain: 0</source><translation>增益: 0</translation></message>
    <message><source>Gan: %1</source><translation>增益: %1</translation></message>
    <message><source>Auto Tunning</source><translation>智能调适</translation></message>
</context>
</TS>
