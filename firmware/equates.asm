; Hardware addresses, key codes, RAM layout.

LCD_MEM         EQU 0FC00h      ; 64 rows of 16 bytes, bit 7 leftmost
TEXT_MEM        EQU 80DFh       ; 8 rows of 16 characters, mirrors what is on the LCD
SHIFT_FLAGS     EQU 8358h       ; bit 3: [2nd] pending, bit 4: [ALPHA] pending
STACK_TOP       EQU 0FC00h
SHIFT_2ND       EQU 08h
SHIFT_ALPHA     EQU 10h

TEXT_ROWS       EQU 8
TEXT_COLS       EQU 16

; Key codes as the key matrix reports them (group * 8 + bit + 1).
K_DOWN          EQU 1
K_LEFT          EQU 2
K_RIGHT         EQU 3
K_UP            EQU 4
K_ENTER         EQU 9
K_ADD           EQU 10
K_SUB           EQU 11
K_MUL           EQU 12
K_DIV           EQU 13
K_CLEAR         EQU 15
K_NEG           EQU 17
K_DEL           EQU 32
K_XVAR          EQU 40
K_ON            EQU 41
K_ALPHA         EQU 48
K_F5            EQU 49
K_F3            EQU 51
K_F2            EQU 52
K_F1            EQU 53
K_2ND           EQU 54
K_EXIT          EQU 55
; Queued keys carry the shift that was pending when they were pressed.
WITH_2ND        EQU 40h
WITH_ALPHA      EQU 80h
K_LINK          EQU K_XVAR + WITH_2ND
K_OFF           EQU K_ON + WITH_2ND
K_DARKER        EQU K_UP + WITH_2ND
K_LIGHTER       EQU K_DOWN + WITH_2ND
K_GAME          EQU K_F5

; Port 3 as written: the [ON] and periodic interrupts enabled (bits 0, 1), the LCD on
; (bit 3). As read, bits 0 and 1 say which of them happened.
PORT3_ON        EQU 0Bh
PORT3_ACK       EQU 08h         ; the LCD on, both sources acknowledged
PORT3_OFF       EQU 03h         ; the classic model's switched-off value
PORT3_OFF_HW    EQU 01h         ; switched off: only [ON] may wake it
SOURCE_ON       EQU 01h
SOURCE_PERIODIC EQU 02h
; Port 0: the LCD's memory base, 100h * (0C0h + value).
LCD_BASE_MAIN   EQU 3Ch         ; 0FC00h, LCD_MEM
LCD_BASE_OTHER  EQU 38h         ; 0F800h, the game's second picture
LCD_OTHER       EQU 0F800h
; Port 2: the contrast, 0 (light) to 31 (dark).
CONTRAST_START  EQU 16
CONTRAST_MAX    EQU 31

; The keypad scan of the hardware model, at the periodic interrupt (200 a second):
; arrows and DEL held repeat after about 400 ms, then every 50 ms, as the window's
; keypad repeats them in the classic model.
REPEAT_DELAY    EQU 80
REPEAT_EVERY    EQU 10
KEY_GROUPS      EQU 7

; The calculator's own negative sign, as a character.
CH_NEG          EQU 60h

; Link packet commands.
CMD_VAR         EQU 06h
CMD_CTS         EQU 09h
CMD_DATA        EQU 15h
CMD_SKIP        EQU 36h
CMD_ACK         EQU 56h
CMD_ERR         EQU 5Ah
CMD_EOT         EQU 92h
MACHINE_ID      EQU 85h

; Link outcomes shown to the user.
LINK_OK         EQU 0
LINK_FAILED     EQU 1
LINK_CANCELLED  EQU 2
LINK_SKIPPED    EQU 3

; Firmware variables (cleared at boot).
keyQueue        EQU 8400h       ; 16 key codes, a ring
keyHead         EQU 8410h
keyTail         EQU 8411h
curRow          EQU 8412h
curCol          EQU 8413h
inputLen        EQU 8414h
entryDone       EQU 8415h       ; 1 after ENTER: the next key starts a new entry
linkSp          EQU 8416h       ; stack pointer to return to when a transfer fails
storeEnd        EQU 8418h       ; first free byte of the variable store
varCount        EQU 841Ah
mathSign        EQU 841Bh
parsePtr        EQU 841Ch
pktCmd          EQU 841Eh
pktLen          EQU 8420h
pktSum          EQU 8422h
pktDest         EQU 8424h
pktCap          EQU 8426h
rxEntry         EQU 8428h
rxLastSkipped   EQU 842Ah
rxAnySkipped    EQU 842Bh
txPtr           EQU 842Ch
linkCount       EQU 842Eh       ; variables moved by the last transfer
rxVarStart      EQU 8448h       ; where the variable being received starts
numA            EQU 8430h       ; 32-bit little-endian operands
numB            EQU 8434h
numR            EQU 8438h
sumAcc          EQU 843Ch
termAcc         EQU 8440h
digitBuf        EQU 8450h       ; 12 characters and a zero
inputBuf        EQU 8460h       ; the entry being typed, zero-terminated
INPUT_MAX       EQU 16
cursorShown     EQU 8471h       ; 1 while the entry's cursor is on the screen
cursorShift     EQU 8472h       ; the shift flags it shows
pktBuf          EQU 8480h       ; small packets: headers, acknowledgements
PKTBUF_SIZE     EQU 128

; Both models, in the free RAM between the link's buffer and the variable store: port
; 3 as last written, the model, the contrast.
port3Shadow     EQU 8700h
hwModel         EQU 8701h       ; 1 while the hardware model runs, 0 in the classic model
contrast        EQU 8702h
; The hardware model's keypad: the keys held at the last scan, one byte a group, a
; bit set while held; the key that repeats while held.
keyHeld         EQU 8703h       ; 7 bytes
repeatKey       EQU 870Ah       ; its code on the matrix, 0 for none
repeatCode      EQU 870Bh       ; as it was queued, with its shift
repeatTicks     EQU 870Ch
ticks           EQU 870Eh       ; periodic interrupts counted, 16 bits

; The game (game.asm).
gameSavedI      EQU 8710h
lcdShown        EQU 8711h       ; port 0 as written last
stepTimer       EQU 8712h       ; ticks to the next game step
stepsDue        EQU 8713h       ; game steps the main loop has still to make
shipX           EQU 8714h       ; the ship's left pixel column
gameOver        EQU 8715h
score           EQU 8716h       ; 16 bits
hiScore         EQU 8718h       ; 16 bits
rockSpeed       EQU 871Ah       ; quarter pixels a step
rockFall        EQU 871Bh       ; quarter pixels fallen and not yet shown
spawnEvery      EQU 871Ch       ; steps between new rocks
spawnTimer      EQU 871Dh
randomSeed      EQU 871Eh       ; 16 bits, never 0
keysShown       EQU 8720h       ; the held keys the status row shows
rockStep        EQU 8721h       ; whole pixels the rocks fall at this step
levelTimer      EQU 8722h       ; points to the next speed-up
keysText        EQU 8724h       ; the held keys as the status row shows them, 4 bytes
rocks           EQU 8730h       ; ROCK_SLOTS x [column (0: none), row]
ROCK_SLOTS      EQU 8
; IM 2: I = 85h and a table of 257 bytes of 87h, so that whatever byte is on the data
; bus the processor jumps through the word 8787h, where a jump to the routine sits.
imTable         EQU 8500h
IM_VECTOR       EQU 87h
imJump          EQU 8787h
; The game runs on a stack of its own below the store: 0F800h-0FBFFh, where the
; calculator's stack lives, is its second picture.
GAME_STACK      EQU 9000h

; The variable store: entries of [command][length, 2 bytes][packet data], a header
; entry followed by its data entry for each variable.
STORE_START     EQU 9000h
STORE_LIMIT     EQU 0F800h      ; the stack lives above
