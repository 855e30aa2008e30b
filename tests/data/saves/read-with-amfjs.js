// Reads every .sol file here with amfjs, an AMF0/AMF3 reader independent of Pellimor's, and
// writes what it read as <file>.amfjs.json in the form Pellimor's AmfValuesAsJson(sorted)
// gives: member names sorted, dates {"@date": ms}, byte arrays {"@bytes": hex}, typed
// objects with "@class", undefined as null.
//   NODE_PATH=/path/to/node_modules node read-with-amfjs.js
"use strict";
const fs = require("fs");
const path = require("path");
const { Readable } = require("stream");
const amf = require("amfjs");
const types = require("amfjs/lib/types");

function canonical(value) {
    if (value === undefined || value === null) {
        return null;
    }
    if (value instanceof Date) {
        return { "@date": value.getTime() };
    }
    if (Buffer.isBuffer(value)) {
        return { "@bytes": value.toString("hex") };
    }
    if (typeof value === "number" && !Number.isFinite(value)) {
        return String(value);
    }
    if (Array.isArray(value)) {
        return value.map(canonical);
    }
    if (typeof value === "object") {
        const out = {};
        const keys = Object.keys(value).filter((k) => k !== "__class");
        if (value.__class) {
            keys.push("@class");
        }
        for (const key of keys.sort()) {
            out[key] = key === "@class" ? value.__class : canonical(value[key]);
        }
        return out;
    }
    return value;
}

function read(bytes) {
    const stream = new Readable({ read() {} });
    stream.push(bytes);
    stream.push(null);
    const decoder = new amf.AMFDecoder(stream);
    if (decoder.readUInt16BE() !== 0x00bf) {
        throw new Error("not a save");
    }
    decoder.readInt32BE();
    if (decoder.readByte(4, true).toString("latin1") !== "TCSO") {
        throw new Error("not a save");
    }
    decoder.readByte(6, true);
    decoder.readString();  // the save's name
    const version = decoder.readInt32BE();
    const values = {};
    while (stream.readableLength > 0) {
        const name = version === 3 ? decoder.deserialize(types.AMF3.STRING, types.AMF3)
                                   : decoder.readString();
        values[name] = decoder.decode(version === 3 ? types.AMF3 : types.AMF0);
        decoder.readByte();
    }
    return canonical(values);
}

for (const file of fs.readdirSync(__dirname).filter((f) => f.endsWith(".sol")).sort()) {
    const json = JSON.stringify(read(fs.readFileSync(path.join(__dirname, file))));
    fs.writeFileSync(path.join(__dirname, file + ".amfjs.json"), json + "\n");
}
