// Writes AMF3 saves (as ActionScript 3 movies' SharedObjects kept them) with amfjs's encoder,
// an AMF writer independent of Pellimor's reader:
//   NODE_PATH=/path/to/node_modules node make-amf3-saves.js
"use strict";
const fs = require("fs");
const path = require("path");
const { Writable } = require("stream");
const amf = require("amfjs");

function encoderInto(chunks) {
    const sink = new Writable({
        write(chunk, encoding, done) {
            chunks.push(Buffer.from(chunk));
            done();
        },
    });
    return new amf.AMFEncoder(sink);
}

function sol(name, pairs) {
    const chunks = [];
    const encoder = encoderInto(chunks);
    for (const [key, value] of pairs) {
        // The pair's name is an AMF3 string without its type byte; the string table is the
        // file's, shared with the values.
        const from = chunks.length;
        encoder.writeObject(key, amf.AMF3);
        const written = Buffer.concat(chunks.splice(from));
        chunks.push(written.subarray(1));
        encoder.writeObject(value, amf.AMF3);
        chunks.push(Buffer.from([0]));
    }
    const body = Buffer.concat(chunks);
    const nameBytes = Buffer.from(name, "utf8");
    const rest = Buffer.concat([
        Buffer.from("TCSO", "latin1"), Buffer.from([0, 4, 0, 0, 0, 0]),
        Buffer.from([nameBytes.length >> 8, nameBytes.length & 255]), nameBytes,
        Buffer.from([0, 0, 0, 3]), body,
    ]);
    const length = Buffer.alloc(4);
    length.writeUInt32BE(rest.length);
    return Buffer.concat([Buffer.from([0x00, 0xbf]), length, rest]);
}

const hero = new amf.Serializable("game.Hero");
hero.name = "Ada";
hero.level = 12;
hero.items = ["sword", "shield", "bow"];
// No string twice: amfjs's writer and its reader count string references differently, so
// a repeated string would make the two readings disagree for reasons of amfjs's own.
const world = { seed: 77, explored: [true, false, true], realm: "North" };

const saves = {
    "amf3-hero.sol": sol("hero", [
        ["hero", hero],
        ["world", world],
        ["score", 123456],
        ["negative", -42],
        ["ratio", 0.75],
        ["title", "Chief"],
        ["saved", new Date(Date.UTC(2009, 4, 17, 12, 30, 0))],
        ["bytes", Buffer.from([1, 2, 254, 255])],
        ["nothing", null],
        ["flag", true],
    ]),
};
for (const [file, bytes] of Object.entries(saves)) {
    fs.writeFileSync(path.join(__dirname, file), bytes);
}
