<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>Form1</name>
    <message>
        <source>くるりん号&#x3000;-&#x3000;RX27A0022</source>
        <translation>Kururin-go - RX27A0022</translation>
    </message>
    <message>
        <source>看板の表示</source>
        <translation>Show signboard</translation>
    </message>
    <message>
        <source>枠の表示</source>
        <translation>Show frame</translation>
    </message>
    <message>
        <source>看板の画像を設定...</source>
        <translation>Choose signboard picture...</translation>
    </message>
    <message>
        <source>看板のリセット</source>
        <translation>Reset signboard</translation>
    </message>
    <message>
        <source>設定を保存できませんでした。
%1

%2</source>
        <translation>The settings could not be saved.
%1

%2</translation>
    </message>
    <message>
        <source>くるりん号</source>
        <translation>Kururin-go</translation>
    </message>
    <message>
        <source>くるりん号&#x3000;-&#x3000;</source>
        <translation>Kururin-go - </translation>
    </message>
    <message>
        <source>指定したパスが見つかりません。再度指定しなおしてください。</source>
        <translation>The path was not found. Please choose the folder again.</translation>
    </message>
</context>
<context>
    <name>MakerLibrary</name>
    <message>
        <source>ファイルが見つかりません。: %1</source>
        <translation>File not found: %1</translation>
    </message>
    <message>
        <source>DLL エントリ ポイント %1 が %2 内に見つかりません。</source>
        <translation>The entry point %1 was not found in %2.</translation>
    </message>
    <message>
        <source>ホームページのアドレスを取得できませんでした。</source>
        <translation>The homepage address could not be obtained.</translation>
    </message>
    <message>
        <source>ホームページのアドレスが正しくありません。</source>
        <translation>The homepage address is not valid.</translation>
    </message>
</context>
<context>
    <name>Signboard</name>
    <message>
        <source>画像ファイル (*.bmp *.jpeg *.jpg *.gif *.wmf *.emf *.png);;すべてのファイル (*)</source>
        <translation>Pictures (*.bmp *.jpeg *.jpg *.gif *.wmf *.emf *.png);;All files (*)</translation>
    </message>
</context>
<context>
    <name>SystemErrors</name>
    <message>
        <source>指定したパスが見つかりません。</source>
        <translation>The path was not found.</translation>
    </message>
    <message>
        <source>指定したパスはフォルダーではありません。</source>
        <translation>The path is not a folder.</translation>
    </message>
    <message>
        <source>アクセスが拒否されました。</source>
        <translation>Access denied.</translation>
    </message>
    <message>
        <source>デバイスの入出力エラーです。</source>
        <translation>Input/output error on the device.</translation>
    </message>
    <message>
        <source>ディスクの空き容量が不足しています。</source>
        <translation>Not enough space on the disk.</translation>
    </message>
    <message>
        <source>ファイルが大きすぎます。</source>
        <translation>The file is too large.</translation>
    </message>
    <message>
        <source>ディスクの使用量の上限を超えています。</source>
        <translation>The disk quota is exceeded.</translation>
    </message>
    <message>
        <source>読み取り専用のファイルシステムです。</source>
        <translation>The file system is read-only.</translation>
    </message>
    <message>
        <source>パスが長すぎます。</source>
        <translation>The path is too long.</translation>
    </message>
    <message>
        <source>シンボリックリンクの階層が深すぎます。</source>
        <translation>Too many levels of symbolic links.</translation>
    </message>
    <message>
        <source>開いているファイルが多すぎます。</source>
        <translation>Too many open files.</translation>
    </message>
    <message>
        <source>メモリが不足しています。</source>
        <translation>Not enough memory.</translation>
    </message>
    <message>
        <source>ファイルシステムのエラーです (%1)。</source>
        <translation>File system error (%1).</translation>
    </message>
    <message>
        <source>指定したパスはフォルダーです。</source>
        <translation>The path is a folder.</translation>
    </message>
</context>
<context>
    <name>frmBrowseDir</name>
    <message>
        <source>画像の位置</source>
        <translation>Picture location</translation>
    </message>
    <message>
        <source>位置：</source>
        <translation>Path:</translation>
    </message>
    <message>
        <source>方向幕のあるフォルダを指定してください</source>
        <translation>Enter the folder that holds the signs</translation>
    </message>
    <message>
        <source>参照(&amp;B)...</source>
        <translation>&amp;Browse...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>方向幕のあるフォルダを選択してください</source>
        <translation>Choose the folder that holds the signs</translation>
    </message>
</context>
<context>
    <name>frmSet</name>
    <message>
        <source>設定パネル</source>
        <translation>Control panel</translation>
    </message>
    <message>
        <source>前扉</source>
        <translation>Front door</translation>
    </message>
    <message>
        <source>中扉</source>
        <translation>Middle door</translation>
    </message>
    <message>
        <source>中扉動作</source>
        <translation>Middle door leaves</translation>
    </message>
    <message>
        <source>両方</source>
        <translation>Both</translation>
    </message>
    <message>
        <source>左</source>
        <translation>L</translation>
    </message>
    <message>
        <source>右</source>
        <translation>R</translation>
    </message>
    <message>
        <source>方向幕フォルダー</source>
        <translation>Sign folder</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>About</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Set</translation>
    </message>
</context>
<context>
    <name>frmShowVersion</name>
    <message>
        <source>くるりん号のバージョン情報</source>
        <translation>About Kururin-go</translation>
    </message>
    <message>
        <source>くるりん号</source>
        <translation>Kururin-go</translation>
    </message>
    <message>
        <source>Varsion&#x3000;1.0.0</source>
        <translation>Version 1.0.0</translation>
    </message>
    <message>
        <source>製作：ソラミチ工房</source>
        <translation>Made by Soramichi Kobo</translation>
    </message>
    <message>
        <source>絵・音・プログラム：ソラミチ工房</source>
        <translation>Art, sound, code: Soramichi Kobo</translation>
    </message>
    <message>
        <source>ここをクリックするとソラミチHPが開きます。</source>
        <translation>Click here for Soramichi&apos;s homepage.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>型番・製造番号：</source>
        <translation>Model and serial no.: </translation>
    </message>
    <message>
        <source> 上記内容をソラミチHP関係者まで報告してください。</source>
        <translation> Please report the above to the Soramichi homepage team.</translation>
    </message>
    <message>
        <source>Sorhpurl.dllのエラー</source>
        <translation>Sorhpurl.dll error</translation>
    </message>
</context>
</TS>
