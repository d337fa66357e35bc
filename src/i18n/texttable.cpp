// The texts are data: keep the rows in their order, the window and the tests
// rely on it (the sample names are the last nine triplets, in list order).
#include "texttable.h"

namespace kv350::i18n {

namespace {

// clang-format off
constexpr Triplet Triplets[] = {
    // Window and menu
    {"KV350 Tools V0182", "KV350 工具程式 V0182", "KV350 工具程式 V0182"},
    {"&Language", "语言(&Language)", "語言(&Language)"},
    {"&File", "档案(&F)", "檔案(&F)"},
    {"About", "关于", "關於"},
    {"&About", "关于(&A)", "關於(&A)"},
    {"E&xit", "离开(&x)", "離開(&x)"},
    // Each language item of the menu shows its own column, whatever the current language.
    {"&English", "&Simplified chinese(简体)", "&Traditional chinese(繁體)"},

    // Messages and status
    {"Command Error!", "指令错误！", "指令錯誤！"},
    {"Command Done.", "指令完成。", "指令完成。"},
    {"No Card or Key Error!", "无卡片或Key错误！", "無卡片或Key錯誤！"},
    {"Supported reader: KV350-M1,KV350-U1,KV350-MIC,KV350-IC,KV350-LF,KV350-MIC-X,KV350-A1 .",
     "本软体支援: KV350-M1,KV350-U1,KV350-MIC,KV350-IC,KV350-LF,KV350-MIC-X,KV350-A1。",
     "本軟體支援: KV350-M1,KV350-U1,KV350-MIC,KV350-IC,KV350-LF,KV350-MIC-X,KV350-A1。"},
    {"Connected", "已连线", "已連線"},
    {"Disconnected", "未连线", "未連線"},

    // Shared button captions, USB mode names and the port list
    {"Connect", "连线", "連線"},
    {"Get Current Setting", "读回设定值", "讀回設定值"},
    {"Set", "设定", "設定"},
    {"Write", "写入", "寫入"},
    {"Lock", "锁定", "鎖定"},
    {"Get", "读回", "讀回"},
    {"USB Keyboard Emulation", "USB键盘模拟", "USB鍵盤模擬"},
    {"USB HID-Compliant Device", "USB人性化介面装置", "USB人性化介面裝置"},
    {"USB HID-Compliant Device Auto Send", "USB人性化介面装置自动发送", "USB人性化介面裝置自動發送"},
    {"USB Serial Port Auto Send", "USB 串口自动发送", "USB 串口自動發送"},
    {"USB Serial Port", "USB 串口", "USB 串口"},
    {"USB Auto", "USB 自动", "USB 自動"},

    // Page tsCommon
    {"Common", "一般", "一般"},
    {"Send ID Format", "发送ID格式", "發送ID格式"},
    {"ID Format", "ID格式", "ID格式"},
    {"ID Reverse Byte", "识别码反向位元组", "識別碼反向位元組"},
    {"ID Reverse Bit", "识别码反向位元", "識別碼反向位元"},
    {"DEC Zero Remove", "移除数字前'0'", "移除數字前'0'"},
    {"Add Enter(CR)", "加入Enter(CR)", "加入Enter(CR)"},
    {"Add Ctrl+Enter(LF)", "加入Ctrl+Enter(LF)", "加入Ctrl+Enter(LF)"},
    {"Add Down Arrow", "加入向下键", "加入向下鍵"},
    {"Add Tab", "加入Tab键", "加入Tab鍵"},
    {"Add Space", "加入空白分隔", "加入空白分隔"},
    {"Add Comma(,)", "加入逗号分隔(,)", "加入逗號分隔(,)"},
    {"Add Brackets([ ])", "加入中括号([ ])", "加入中括號([ ])"},
    {"Add Quotation(' ')", "加入引号(' ')", "加入引號(' ')"},
    {"USB Mode", "USB模式", "USB模式"},
    {"Read Card Mode", "读卡模式", "讀卡模式"},
    // The tab caption; the eTag check box of the same English text reads differently.
    {"Auto Read", "自动读卡", "自動讀卡", "tsAuto"},
    {"Auto", "自动", "自動"},
    {"Beep", "哔声", "嗶聲"},
    {"LED", "灯号", "燈號"},
    {"Same Card Detection", "相同卡侦测", "相同卡偵測"},
    {"Energy Saving Mode", "节能模式", "節能模式"},
    {"Read Card Time Postponement", "读卡延迟时间", "讀卡延遲時間"},
    {"Same Card Detection Time", "侦测相同卡时间", "偵測相同卡時間"},
    {"System Command", "系统指令", "系統指令"},
    {"Reboot Reader", "读卡机重新开机", "讀卡機重新開機"},
    {"Use Factory Settings", "回复出厂值", "回復出廠值"},
    {"USB Keypad Delay Time", "USB按键延迟时间", "USB按鍵延遲時間"},
    {"Keyboard Layout", "键盘布局", "鍵盤布局"},

    // Page tsCommand
    {"Command Test", "指令测试", "指令測試"},
    {"Request Data", "请求资料", "請求資料"},
    {"Request(Hex)", "请求(Hex)", "請求(Hex)"},
    {"Send Request", "请求传送", "請求傳送"},
    {"Read Card", "读卡", "讀卡"},
    {"Response Data", "回应资料", "回應資料"},
    {"Response(Hex):", "回应(Hex):", "回應(Hex):"},
    {"ASCII To Hex", "ASCII 转换 Hex", "ASCII 轉換 Hex"},

    // Pages tsAuto, tsNTAG, tsMifare, tsMifareKey
    {"Sector:", "区段:", "區段:"},
    {"Block:", "区块:", "區塊:"},
    {"Start:", "开始:", "開始:"},
    {"Byte:", "位元组:", "位元組:"},
    {"Key:", "Key:", "Key:"},
    {"Old key:", "旧Key:", "舊Key:"},
    {"New key:", "新Key:", "新Key:"},
    {"Key A", "Key A", "Key A"},
    {"Key B", "Key B", "Key B"},
    {"Key Error MSG:", "Key错误讯息:", "Key錯誤訊息:"},
    {"ID Block/Byte (MIFARE Classic)", "ID读取区块/位元 (MIFARE Classic)", "ID讀取區塊/位元 (MIFARE Classic)"},
    {"ID Block/Byte (NFC NTAG203/Ultralight)", "ID读取区块/位元 (NFC NTAG203/Ultralight)",
     "ID讀取區塊/位元 (NFC NTAG203/Ultralight)"},
    {"Set Auto Read MIFARE Classic", "设定自动读取 MIFARE Classic", "設定自動讀取 MIFARE Classic"},
    // The Simplified text once arrived garbled (a wrong code page); this is the intended wording.
    {"Set Auto Read NFC NTAG203/Ultralight", "设定自动读取 NFC NTAG203/Ultralight", "設定自動讀取 NFC NTAG203/Ultralight"},
    {"Card Data Read/Write Test", "卡片资料读写测试", "卡片資料讀寫測試"},
    {"Block:", "区块:", "區塊:"},
    {"Write Card Data:", "写入卡片资料:", "寫入卡片資料:"},
    {"Write Card Data", "写入卡片资料", "寫入卡片資料"},
    {"Read Card Data:", "读取卡片资料:", "讀取卡片資料:"},
    {"Read Card Data", "读取卡片资料", "讀取卡片資料"},
    {"Read Card All Data", "读取卡片全部资料", "讀取卡片全部資料"},
    {"URL Address", "URL 位址", "URL 位址"},
    {"Read", "读取", "讀取"},
    {"Read Write Card Loop", "读写卡片循环测试", "讀寫卡片循環測試"},
    {"Read Card All Data", "读取卡片全部资料", "讀取卡片全部資料"},
    {"Card Data Read/Write Test", "卡片资料读写测试", "卡片資料讀寫測試"},
    {"Write Card Data:", "写入卡片资料:", "寫入卡片資料:"},
    {"Write Card Data", "写入卡片资料", "寫入卡片資料"},
    {"Read Card Data:", "读取卡片资料:", "讀取卡片資料:"},
    {"Read Card Data", "读取卡片资料", "讀取卡片資料"},
    {"Write Key To EEPROM (MIFARE Classic)", "写入 KEY 至 EEPROM (MIFARE Classic)", "寫入 KEY 至 EEPROM (MIFARE Classic)"},
    {"Write Key To Card", "写入 KEY 至卡片", "寫入 KEY 至卡片"},
    {"Issue MIFARE Card", "MIFARE 卡片发卡", "MIFARE 卡片發卡"},

    // Page tsISO15693
    {"MIC Available Card Type", "MIC读取卡片类别", "MIC讀取卡片類別"},
    {"Card ID Block/Byte", "卡片ID读取之区块/位元组", "卡片ID讀取之區塊/位元組"},
    {"Block:", "区块:", "區塊:"},
    {"Start:", "开始:", "開始:"},
    {"Byte:", "位元组:", "位元組:"},
    {"Card Data Read/Write Test", "卡片资料读写测试", "卡片資料讀寫測試"},
    {"Blocks:", "区块数:", "區塊數:"},
    {"Read Block Data:", "读取区块资料:", "讀取區塊資料:"},
    {"Read Block Data", "读取区块资料", "讀取區塊資料"},
    {"Write Block Data:", "写入区块资料:", "寫入區塊資料:"},
    {"Write Block Data", "写入区块资料", "寫入區塊資料"},
    {"ISO15693 Command", "ISO15693 指令", "ISO15693 指令"},

    // Page tsK7704
    {"eTag Data Read/Write", "eTag资料读写", "eTag資料讀寫"},
    {"Read eTag Data:", "读取eTag资料:", "讀取eTag資料:"},
    {"Read eTag Data", "读取eTag资料", "讀取eTag資料"},
    {"Write eTag Data:", "写入eTag资料:", "寫入eTag資料:"},
    {"Write eTag Data", "写入eTag资料", "寫入eTag資料"},
    {"Auto INC", "自动加一", "自動加一"},
    {"Auto Read", "自动读取", "自動讀取", "chkETAGAutoRead"},
    {"Auto EPC Data Read", "自动EPC资料读取", "自動EPC資料讀取"},
    {"Set Auto Read EPC", "设定自动读取 EPC", "設定自動讀取 EPC"},
    {"EPC Data Read/Write", "EPC资料读写", "EPC資料讀寫"},
    {"Read EPC Data", "读取EPC资料", "讀取EPC資料"},
    {"Read EPC Data", "读取EPC资料", "讀取EPC資料"},
    {"Write EPC Data", "写入EPC资料", "寫入EPC資料"},
    {"Write EPC Data", "写入EPC资料", "寫入EPC資料"},
    {"Bank", "区块", "區塊"},
    {"Address", "位址", "位址"},
    {"Length", "长度", "長度"},

    // Page tsLF
    {"LF Card", "低频卡", "低頻卡"},
    {"Available Card Type", "读取卡片类别", "讀取卡片類別"},

    // Page tsFirmware
    // Also the prefix of the progress messages during an upgrade.
    {"Update Firmware", "韧体更新", "韌體更新"},
    {"Firmware file path:", "轫体档案路径:", "軔體檔案路徑:"},
    {"Firmware file", "轫体档案", "軔體檔案"},
    {"Upgrade progress:", "更新进度:", "更新進度:"},
    {"Firmware type error!", "轫体机型错误！", "軔體機型錯誤！"},
    {"Select firmware file", "选取轫体档案", "選取軔體檔案"},
    {"Code size (Hex):", "程式大小 (Hex):", "程式大小 (Hex):"},
    {"Code checksum (Hex):", "检查加总 (Hex):", "檢查加總 (Hex):"},
    {"Code type:", "程式机型:", "程式機型:"},
    {"Code version:", "程式版本:", "程式版本:"},
    {"Firmware file loaded.", "轫体档案载入完成。", "軔體檔案載入完成。"},
    {"Failed to load firmware.", "轫体档案载入错误！", "軔體檔案載入錯誤！"},
    {"Please select firmware file!", "请先选择轫体档案！", "請先選擇軔體檔案！"},
    {"KV350 firmware update complete.", "KV350 更新轫体完成。", "KV350 更新軔體完成。"},
    {"KV350 device error.", "KV350 装置错误！", "KV350 裝置錯誤！"},
    {"Note !", "注意!", "注意!"},
    {"Note: Update firmware may cause the device crash! If not necessary, Please do NOT update firmware.",
     "注意：更新产品韧体有可能会导致装置故障，如非必要请勿更新。", "注意：更新產品韌體有可能會導致裝置故障，如非必要請勿更新。"},

    // Page tsOvtra
    {"Ovtra Sst", "Ovtra设定", "Ovtra設定"},
    {"Auto Test", "自动测试", "自動測試"},
    {"Cancel Test", "取消测试", "取消測試"},

    // Request sample list
    // Shown while nothing is picked; the nine sample names follow in list order.
    {"Select Request Sample List", "选取请求范例列表", "選取請求範例列表"},
    {"[01] Read Card ID", "[01] 读取卡片 ID", "[01] 讀取卡片 ID"},
    {"[02][02] Run Action Command", "[02][02] 执行动作指令", "[02][02] 執行動作指令"},
    {"[03][01] Get USB Mode", "[03][01] 读取USB模式", "[03][01] 讀取USB模式"},
    {"[0C] Read User Data", "[0C] 读取使用者资料", "[0C] 讀取使用者資料"},
    {"[0C] Write User Data", "[0C] 写入使用者资料", "[0C] 寫入使用者資料"},
    {"[0D] Get S/N", "[0D] 读取序号", "[0D] 讀取序號"},
    {"[0E] Get Model, Version", "[0E] 读取型号及版本", "[0E] 讀取型號及版本"},
    {"[0F][01] Set Reboot", "[0F][01] 设定重新开机", "[0F][01] 設定重新開機"},
    {"[0F][02] Use Default", "[0F][02] 恢复出厂值", "[0F][02] 恢復出廠值"},
};
// clang-format on
static_assert(std::size(Triplets) == TripletCount);

// clang-format off
constexpr Triplet Added[] = {
    {"Auto INC: characters 9 to 16 are not a hexadecimal number.", "自动加一：第9至16个字元不是十六进位数字。",
     "自動加一：第9至16個字元不是十六進位數字。"},
    {"Access bytes %1 are not a valid encoding: the card would lock its sector for good. Nothing was written.",
     "存取位元 %1 编码无效：卡片将永久锁住此区段。未写入任何资料。",
     "存取位元 %1 編碼無效：卡片將永久鎖住此區段。未寫入任何資料。"},

    // Questions before writes that cannot be undone, and what No leaves behind.
    {"Please confirm", "请确认", "請確認"},
    {"Yes", "是", "是"},
    {"No", "否", "否"},
    {"Cancelled: nothing was sent to the reader.", "已取消：未传送任何资料到读卡机。", "已取消：未傳送任何資料到讀卡機。"},

    // Why no reader answers, as the link words it (src/link/linkerror.cpp);
    // {where}, {detail} and {rule} are filled in by the link.
    {"{where}: no such USB device is plugged in (is the reader plugged in, and are VID and PID its ids?)",
     "{where}：没有插入此 USB 装置（读卡机是否已插入？VID 和 PID 是否为它的 ID？）",
     "{where}：沒有插入此 USB 裝置（讀卡機是否已插入？VID 和 PID 是否為它的 ID？）"},
    {"{where}: the reader is plugged in ({detail}) but this user may not open it: the udev rule {rule} gives "
     "access (install it, or the package, then plug the reader in again)",
     "{where}：读卡机已插入（{detail}），但此使用者无权开启它：udev 规则 {rule} 可给予权限（请安装它或安装套件，"
     "然后重新插入读卡机）",
     "{where}：讀卡機已插入（{detail}），但此使用者無權開啟它：udev 規則 {rule} 可給予權限（請安裝它或安裝套件，"
     "然後重新插入讀卡機）"},
    {"Writing this trailer to sector %1 cannot be undone:", "将此控制区块写入区段 %1 后无法复原：",
     "將此控制區塊寫入區段 %1 後無法復原："},
    {"The access conditions of sector %1 can never be changed again.", "区段 %1 的存取条件将永远无法再变更。",
     "區段 %1 的存取條件將永遠無法再變更。"},
    {"Key A and key B of sector %1 can never be changed again.", "区段 %1 的 Key A 与 Key B 将永远无法再变更。",
     "區段 %1 的 Key A 與 Key B 將永遠無法再變更。"},
    {"Block %1 can never be written again.", "区块 %1 将永远无法再写入。", "區塊 %1 將永遠無法再寫入。"},
    {"Blocks %1-%2 can never be written again.", "区块 %1-%2 将永远无法再写入。", "區塊 %1-%2 將永遠無法再寫入。"},
    {"Block %1 can never be read or written again.", "区块 %1 将永远无法再读取或写入。",
     "區塊 %1 將永遠無法再讀取或寫入。"},
    {"Blocks %1-%2 can never be read or written again.", "区块 %1-%2 将永远无法再读取或写入。",
     "區塊 %1-%2 將永遠無法再讀取或寫入。"},
    {"Write it?", "确定要写入吗？", "確定要寫入嗎？"},
    {"The loop test will overwrite %1 data block(s) of sector %2 with test patterns; what they hold now will be lost.",
     "循环测试将以测试资料覆写区段 %2 的 %1 个资料区块，其中原有的资料将会遗失。",
     "循環測試將以測試資料覆寫區段 %2 的 %1 個資料區塊，其中原有的資料將會遺失。"},
    {"The loop test will overwrite %1 data block(s) of sectors %2-%3 with test patterns; what they hold now will be "
     "lost.",
     "循环测试将以测试资料覆写区段 %2-%3 的 %1 个资料区块，其中原有的资料将会遗失。",
     "循環測試將以測試資料覆寫區段 %2-%3 的 %1 個資料區塊，其中原有的資料將會遺失。"},
    {"Sector 0 and the sector trailers are left alone.", "区段 0 与各区段的控制区块不会被写入。",
     "區段 0 與各區段的控制區塊不會被寫入。"},
    {"Start the loop test?", "要开始循环测试吗？", "要開始循環測試嗎？"},
    {"Every setting of the reader will return to its factory value; the settings made now will be lost.",
     "读卡机的所有设定都将回复为出厂值，目前的设定将会遗失。", "讀卡機的所有設定都將回復為出廠值，目前的設定將會遺失。"},
    {"Use factory settings?", "要回复出厂值吗？", "要回復出廠值嗎？"},
    {"Page %1: the capability container changes from %2 to %3; it is one-time programmable and can never be "
     "changed back.",
     "第 %1 页：能力容器(CC)由 %2 变为 %3；此页只能写入一次，永远无法改回。",
     "第 %1 頁：能力容器(CC)由 %2 變為 %3；此頁只能寫入一次，永遠無法改回。"},
    {"Page %1: the lock bytes change from %2 to %3; a lock bit can never be cleared again.",
     "第 %1 页：锁定位元组由 %2 变为 %3；锁定位元设定后永远无法清除。",
     "第 %1 頁：鎖定位元組由 %2 變為 %3；鎖定位元設定後永遠無法清除。"},
    {"Page %1 can never be written again.", "第 %1 页将永远无法再写入。", "第 %1 頁將永遠無法再寫入。"},
    {"Pages %1 can never be written again.", "第 %1 页将永远无法再写入。", "第 %1 頁將永遠無法再寫入。"},
    {"Type a URL first. Nothing was written.", "请先输入 URL。未写入任何资料。", "請先輸入 URL。未寫入任何資料。"},
    {"A URL cannot hold control characters (such as CR, LF or NUL). Nothing was written.",
     "URL 不能包含控制字元（如 CR、LF 或 NUL）。未写入任何资料。",
     "URL 不能包含控制字元（如 CR、LF 或 NUL）。未寫入任何資料。"},
    {"The URL is too long for the tag: %1 of its %2 characters fit. Nothing was written.",
     "URL 太长：标签只能容纳其 %2 个字元中的 %1 个。未写入任何资料。",
     "URL 太長：標籤只能容納其 %2 個字元中的 %1 個。未寫入任何資料。"},
    {"The tag holds no URL record: page 3 holds no NDEF capability container.",
     "标签上没有 URL 记录：第 3 页不是 NDEF 能力容器。", "標籤上沒有 URL 記錄：第 3 頁不是 NDEF 能力容器。"},
    {"The tag holds no URL record: it holds no NDEF message.", "标签上没有 URL 记录：没有 NDEF 讯息。",
     "標籤上沒有 URL 記錄：沒有 NDEF 訊息。"},
    {"The tag holds no URL record: its NDEF message holds no URI record.",
     "标签上没有 URL 记录：NDEF 讯息中没有 URI 记录。", "標籤上沒有 URL 記錄：NDEF 訊息中沒有 URI 記錄。"},
    {"The tag holds no readable URL record: its NDEF data is damaged at page %1.",
     "标签上的 URL 记录无法读取：NDEF 资料在第 %1 页损坏。", "標籤上的 URL 記錄無法讀取：NDEF 資料在第 %1 頁損壞。"},
    {"The firmware file holds no program code.", "轫体档案没有程式码。", "軔體檔案沒有程式碼。"},
    {"That character has no one-byte code (Latin-1) and was not taken.",
     "该字元没有单一位元组编码（Latin-1），未被接受。", "該字元沒有單一位元組編碼（Latin-1），未被接受。"},
    {"Several readers are attached: take out all but the one to upgrade.", "连接了多台读卡机：请只保留要更新的那一台。",
     "連接了多台讀卡機：請只保留要更新的那一台。"},

    // The session log window.
    {"Session &Log", "工作记录(&L)", "工作記錄(&L)"},
    {"Session Log", "工作记录", "工作記錄"},
    {"Log key values", "记录金钥值", "記錄金鑰值"},
    {"Save As...", "另存新档...", "另存新檔..."},
    {"Clear", "清除", "清除"},
    {"Each session is also kept in a file in: %1", "每次工作记录亦存档于：%1", "每次工作記錄亦存檔於：%1"},
    {"Each session is kept only in this window: its folder could not be written (%1).",
     "工作记录只保留在此视窗：无法写入其资料夹（%1）。", "工作記錄只保留在此視窗：無法寫入其資料夾（%1）。"},
    {"Key values are written in clear in this log. Keep it safe.", "此记录以明文写入金钥值，请妥善保管。",
     "此記錄以明文寫入金鑰值，請妥善保管。"},
    {"Text files (*.txt *.log)", "文字档 (*.txt *.log)", "文字檔 (*.txt *.log)"},
    {"The log could not be saved: %1", "无法储存记录：%1", "無法儲存記錄：%1"},
    // Reader profiles: the File menu, the table of settings and what became of them.
    {"&Save Reader Settings...", "保存读卡机设定(&S)...", "儲存讀卡機設定(&S)..."},
    {"&Apply Settings File...", "套用设定档(&A)...", "套用設定檔(&A)..."},
    {"&Compare With Settings File...", "与设定档比较(&C)...", "與設定檔比較(&C)..."},
    {"Reader Settings", "读卡机设定", "讀卡機設定"},
    {"Reader settings (*.json)", "读卡机设定 (*.json)", "讀卡機設定 (*.json)"},
    {"Setting", "设定", "設定"},
    {"Reader now", "读卡机目前", "讀卡機目前"},
    {"In the file", "档案中", "檔案中"},
    {"Result", "结果", "結果"},
    {"same", "相同", "相同"},
    {"differs", "不符", "不符"},
    {"ok", "正确", "正確"},
    {"failed", "失败", "失敗"},
    {"not tried", "未执行", "未執行"},
    {"unchanged", "未变更", "未變更"},
    {"No reader is identified; nothing was read or sent.", "未识别到读卡机；未读取或传送任何资料。",
     "未識別到讀卡機；未讀取或傳送任何資料。"},
    {"The file is refused; nothing was sent to the reader:", "档案被拒绝；未传送任何资料到读卡机：",
     "檔案被拒絕；未傳送任何資料到讀卡機："},
    {"The file does not fit this reader; nothing was written:", "档案不适用于此读卡机；未写入任何资料：",
     "檔案不適用於此讀卡機；未寫入任何資料："},
    {"The reader's settings could not be read; nothing was written:", "无法读取读卡机的设定；未写入任何资料：",
     "無法讀取讀卡機的設定；未寫入任何資料："},
    {"The reader already holds every setting of the file; nothing was written.",
     "读卡机已具有档案中的所有设定；未写入任何资料。", "讀卡機已具有檔案中的所有設定；未寫入任何資料。"},
    {"Write these %1 settings to the reader? Each is read back afterwards.",
     "要将这 %1 项设定写入读卡机吗？写入后会逐项读回确认。", "要將這 %1 項設定寫入讀卡機嗎？寫入後會逐項讀回確認。"},
    {"Every setting was written and verified by reading it back.", "所有设定均已写入并读回确认。",
     "所有設定均已寫入並讀回確認。"},
    {"Some settings do not hold the file's value; see the table.", "部分设定与档案不符；请见表格。",
     "部分設定與檔案不符；請見表格。"},
    {"The reader matches the file.", "读卡机与档案相符。", "讀卡機與檔案相符。"},
    {"%1 of %2 settings differ from the file.", "%2 项设定中有 %1 项与档案不同。", "%2 項設定中有 %1 項與檔案不同。"},
    {"Saved %1 settings to %2.", "已将 %1 项设定保存至 %2。", "已將 %1 項設定儲存至 %2。"},
    {"The file was not written:", "档案未写入：", "檔案未寫入："},
};
// clang-format on

constexpr RequestSample Samples[] = {
    {"[01] Read Card ID", "02", "01", "01"},
    {"[02][02] Run Action Command", "02", "02", "02 "},
    {"[03][01] Get USB Mode", "02", "03", "01 "},
    {"[0C] Read User Data", "04", "0C", "00 00 08 "},
    {"[0C] Write User Data", "0C", "0C", "00 00 08 01 23 45 67 89 AB CD EF "},
    {"[0D] Get S/N", "01", "0D", ""},
    {"[0E] Get Model, Version", "01", "0E", ""},
    {"[0F][01] Set Reboot", "02", "0F", "01"},
    {"[0F][02] Use Default", "02", "0F", "02"},
};
static_assert(std::size(Samples) == RequestSampleCount);

}  // namespace

std::span<const Triplet, TripletCount> textTable()
{
    return std::span<const Triplet, TripletCount>(Triplets);
}

std::span<const Triplet> addedTexts()
{
    return Added;
}

std::span<const RequestSample, RequestSampleCount> requestSamples()
{
    return std::span<const RequestSample, RequestSampleCount>(Samples);
}

}  // namespace kv350::i18n
