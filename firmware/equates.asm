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

; The variable store: entries of [command][length, 2 bytes][packet data], a header
; entry followed by its data entry for each variable.
STORE_START     EQU 9000h
STORE_LIMIT     EQU 0F800h      ; the stack lives above
