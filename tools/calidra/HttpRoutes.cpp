#include "HttpRoutes.h"

#include <httplib.h>

#include <charconv>
#include <cmath>
#include <fstream>

#include "JsonObject.h"
#include "LibraryPalette.h"
#include "Numbers.h"
#include "StillFiles.h"
#include "WebAssets.h"

namespace calidra::tool {

namespace {

constexpr const char* kJson = "application/json";
constexpr long long kInternalEveryMs = 1000;

void Answer(httplib::Response& response, int status, const JsonObject& body) {
    response.status = status;
    response.set_header("Cache-Control", "no-store");
    response.set_content(body.Text(), kJson);
}

void Refuse(httplib::Response& response, int status, std::string_view message) {
    Answer(response, status, JsonObject().Add("error", message));
}

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string ContentType(const std::filesystem::path& path) {
    const std::string extension = path.extension().string();
    if (extension == ".png") return "image/png";
    if (extension == ".jpg") return "image/jpeg";
    if (extension == ".bmp") return "image/bmp";
    if (extension == ".tif") return "image/tiff";
    if (extension == ".avi") return "video/x-msvideo";
    return "application/octet-stream";
}

JsonObject FileJson(const StoredFile& file) {
    return JsonObject().Add("name", file.name).Add("bytes", file.bytes).Add("url", "/files/" + file.name);
}

}  // namespace

HttpRoutes::HttpRoutes(LiveCamera& camera, FrameHub& hub, FileArea& files, LiveRecording& recording, AccessGuard guard)
    : camera_(camera),
      hub_(hub),
      files_(files),
      recording_(recording),
      guard_(std::move(guard)),
      streamer_(hub, camera),
      palette_(LibraryPalette::Json()) {}

void HttpRoutes::Install(httplib::Server& server) {
    using httplib::Request;
    using httplib::Response;
    server.set_pre_routing_handler([this](const Request& request, Response& response) {
        if (guard_.HostAllowed(request.get_header_value("Host"))) return httplib::Server::HandlerResponse::Unhandled;
        Refuse(response, 403, "this server answers only requests addressed to a loopback name");
        return httplib::Server::HandlerResponse::Handled;
    });
    auto control = [this](void (HttpRoutes::*handler)(const Request&, Response&)) {
        return [this, handler](const Request& request, Response& response) {
            if (MayControl(request, response)) (this->*handler)(request, response);
        };
    };
    server.Get("/", [this](const Request& q, Response& r) { Page(q, r); });
    server.Get(R"(/[a-z]+\.(html|js|css))", [this](const Request& q, Response& r) { Page(q, r); });
    server.Get("/api/status", [this](const Request&, Response& r) { Status(r); });
    server.Get("/api/frame", [this](const Request& q, Response& r) { Frame(q, r); });
    server.Get("/api/palette", [this](const Request&, Response& r) { Palette(r); });
    server.Get("/stream.mjpeg", [this](const Request&, Response& r) { Stream(r); });
    server.Post("/api/nuc", control(&HttpRoutes::Nuc));
    server.Post("/api/param", control(&HttpRoutes::Param));
    server.Post("/api/snapshot", control(&HttpRoutes::Snapshot));
    server.Post("/api/record", control(&HttpRoutes::Record));
    server.Get("/api/files", control(&HttpRoutes::Files));
    server.Get("/files/([^/]+)", control(&HttpRoutes::File));
}

bool HttpRoutes::MayControl(const httplib::Request& request, httplib::Response& response) const {
    std::string token = request.get_header_value("X-Calidra-Token");
    if (token.empty()) token = request.get_param_value("token");
    if (!guard_.TokenAllowed(token)) {
        Refuse(response, 403, "this request needs the token that calidra serve printed at its start");
        return false;
    }
    if (!guard_.OriginAllowed(request.get_header_value("Origin"), request.get_header_value("Host"))) {
        Refuse(response, 403, "control requests from other web pages are refused");
        return false;
    }
    return true;
}

void HttpRoutes::Page(const httplib::Request& request, httplib::Response& response) const {
    const WebAsset* asset = WebAssets::Find(request.path);
    if (asset == nullptr) return Refuse(response, 404, "no such page");
    response.set_header("Cache-Control", "no-cache");
    response.set_content(asset->body.data(), asset->body.size(), std::string(asset->contentType));
}

void HttpRoutes::Status(httplib::Response& response) {
    JsonObject status;
    const FrameHub::Newest newest = hub_.Current();
    camera_.Call([&](Camera& camera) {
        const unsigned long handle = camera.Handle();
        if (internal_.atMs < 0 || NowMs() - internal_.atMs >= kInternalEveryMs) {
            internal_.celsius = Calidra_GetInternalTemperature(handle, &internal_.ok);
            internal_.atMs = NowMs();
        }
        const long long holdOff = Calidra_GetParam(handle, CALIDRA_PARAM_NUC_HOLD_OFF_MS);
        const long long asked = nucAskedMs_.load();
        const long long remaining = asked < 0 ? 0 : std::max(0LL, asked + holdOff - NowMs());
        status.Add("camera", camera.Index())
            .Add("name", camera.Name(camera.Index()))
            .Add("previewing", Calidra_GetParam(handle, CALIDRA_PARAM_PREVIEWING) != 0)
            .Add("streaming", hub_.Streaming())
            .Add("frameId", newest.id)
            .Add("frames", static_cast<long long>(newest.count))
            .Add("fps", Calidra_GetParam(handle, CALIDRA_PARAM_FRAME_RATE_X100) / 100.0, 2)
            .Add("internalTemperature", internal_.ok ? double(internal_.celsius) : std::nan(""), 2)
            .Add("range", JsonObject()
                              .Add("auto", Calidra_GetParam(handle, CALIDRA_PARAM_AUTO_RANGE))
                              .Add("low", Calidra_GetParam(handle, CALIDRA_PARAM_RANGE_LOW))
                              .Add("high", Calidra_GetParam(handle, CALIDRA_PARAM_RANGE_HIGH)))
            .Add("calibration", JsonObject().Add("holdOffMs", holdOff).Add("remainingMs", remaining));
        return 0;
    });
    const LiveRecording::State recording = recording_.Current();
    status.Add("recording", JsonObject()
                                .Add("active", recording.active)
                                .Add("kind", recording.kind)
                                .Add("file", recording.file)
                                .Add("seconds", recording.seconds, 1)
                                .Add("frames", recording.frames)
                                .Add("bytes", recording.bytes)
                                .Add("error", recording.error));
    status.Add("viewers", JsonObject().Add("active", hub_.LongRequests()).Add("max", hub_.MaxLongRequests()));
    status.Add("tokenRequired", guard_.TokenRequired());
    Answer(response, 200, status);
}

void HttpRoutes::Frame(const httplib::Request& request, httplib::Response& response) {
    const std::string format = request.get_param_value("format");
    if (!format.empty() && format != "temperature" && format != "color") {
        return Refuse(response, 400, "format takes temperature (the default) or color");
    }
    std::uint32_t after = 0;
    const std::string afterText = request.get_param_value("after");
    const char* afterEnd = afterText.data() + afterText.size();
    if (request.has_param("after") && std::from_chars(afterText.data(), afterEnd, after).ptr != afterEnd) {
        return Refuse(response, 400, "after takes a frame id, a whole number from 0 to 4294967295");
    }
    FrameHub::Ticket ticket = hub_.Admit();
    if (!ticket) {
        response.set_header("Retry-After", "1");
        return Refuse(response, 503, "too many viewers at once; try again shortly");
    }
    FrameHub::Newest newest = hub_.WaitNewer(after, kFrameWait);
    const FrameFormat wanted = format == "color" ? FrameFormat::kColour : FrameFormat::kTemperatures;
    std::shared_ptr<const std::string> frame;
    // A frame may leave the library's ring between the wait and the read; the
    // newest one then is newer still.
    for (int attempt = 0; attempt < 2 && !frame && newest.id != 0 && newest.id != after; ++attempt) {
        frame = camera_.Frame(newest.id, wanted);
        if (!frame) newest = hub_.Current();
    }
    if (hub_.Stopped()) return Refuse(response, 503, "the server is stopping");
    if (!frame) {
        response.status = 204;
        response.set_header("Cache-Control", "no-store");
        return;
    }
    response.set_header("Cache-Control", "no-store");
    response.set_content(frame->data(), frame->size(), "application/octet-stream");
}

void HttpRoutes::Palette(httplib::Response& response) const { response.set_content(palette_, kJson); }

void HttpRoutes::Nuc(const httplib::Request&, httplib::Response& response) {
    const long long holdOff = camera_.Call([](Camera& camera) {
        Calidra_Nuc(camera.Handle());
        return Calidra_GetParam(camera.Handle(), CALIDRA_PARAM_NUC_HOLD_OFF_MS);
    });
    nucAskedMs_.store(NowMs());
    Answer(response, 200, JsonObject().Add("calibrating", true).Add("holdOffMs", holdOff));
}

void HttpRoutes::Param(const httplib::Request& request, httplib::Response& response) {
    const std::string name = request.get_param_value("name");
    std::optional<int> id = Catalog::ParameterId(name);
    const Parameter* parameter = id ? Catalog::FindParameter(*id) : nullptr;
    std::optional<int> value = Numbers::ParseInt(request.get_param_value("value"));
    if (parameter == nullptr || !value) {
        return Refuse(response, 400,
                      "param takes name (a parameter's name or id from 1 to 18) and value (a whole number)");
    }
    std::string problem;
    const int now = camera_.Call([&](Camera& camera) {
        camera.ForgetCodes();
        if (!Calidra_SetParam(camera.Handle(), parameter->id, *value)) {
            problem = camera.ReportFailure("Calidra_SetParam(" + std::string(parameter->name) + ", " +
                                           std::to_string(*value) + ")");
        }
        return Calidra_GetParam(camera.Handle(), parameter->id);
    });
    if (!problem.empty()) return Refuse(response, 422, problem);
    Answer(response, 200, JsonObject().Add("id", parameter->id).Add("name", parameter->name).Add("value", now));
}

void HttpRoutes::Snapshot(const httplib::Request& request, httplib::Response& response) {
    const std::string typeName = request.has_param("type") ? request.get_param_value("type") : "png";
    const SaveType* type = Catalog::FindSaveType(typeName);
    if (type == nullptr) {
        std::string names;
        for (const SaveType& known : Catalog::SaveTypes())
            names += (names.empty() ? "" : ", ") + std::string(known.name);
        return Refuse(response, 400, "type takes one of " + names);
    }
    const std::string name = files_.NewFile("snapshot", type->extension);
    const std::string path = files_.PathOf(name).string();
    long long bytes = 0;
    std::string problem;
    const bool saved =
        camera_.Call([&](Camera& camera) { return StillFiles::Save(camera, *type, path, &bytes, &problem); });
    if (!saved) return Refuse(response, 500, problem);
    Answer(response, 200, FileJson({name, bytes}).Add("type", type->name));
}

void HttpRoutes::Record(const httplib::Request& request, httplib::Response& response) {
    const std::string action = request.get_param_value("action");
    const RecordKind* kind =
        Catalog::FindRecordKind(request.has_param("kind") ? request.get_param_value("kind") : "avi");
    if ((action != "start" && action != "stop") || kind == nullptr) {
        return Refuse(response, 400, "record takes action (start or stop) and kind (raw, avi or temp)");
    }
    std::string problem;
    const LiveRecording::Result result =
        action == "start" ? recording_.Start(*kind, &problem) : recording_.Stop(&problem);
    if (result != LiveRecording::Result::kDone) {
        return Refuse(response, result == LiveRecording::Result::kConflict ? 409 : 500, problem);
    }
    const LiveRecording::State state = recording_.Current();
    Answer(response, 200,
           JsonObject()
               .Add("active", state.active)
               .Add("kind", state.kind)
               .Add("file", state.file)
               .Add("url", "/files/" + state.file)
               .Add("seconds", state.seconds, 1)
               .Add("frames", state.frames)
               .Add("bytes", state.bytes));
}

void HttpRoutes::Files(const httplib::Request&, httplib::Response& response) {
    std::string list = "[";
    for (const StoredFile& file : files_.List()) list += (list.size() > 1 ? "," : "") + FileJson(file).Text();
    Answer(response, 200, JsonObject().AddRaw("files", list + "]"));
}

void HttpRoutes::File(const httplib::Request& request, httplib::Response& response) {
    std::optional<std::filesystem::path> path = files_.Find(request.matches[1].str());
    std::error_code error;
    const auto size = path ? std::filesystem::file_size(*path, error) : 0;
    if (!path || error) return Refuse(response, 404, "no such file among those this server wrote");
    auto file = std::make_shared<std::ifstream>(*path, std::ios::binary);
    response.set_header("Content-Disposition", "attachment; filename=\"" + path->filename().string() + "\"");
    response.set_content_provider(static_cast<std::size_t>(size), ContentType(*path),
                                  [file](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                      char buffer[65536];
                                      file->seekg(static_cast<std::streamoff>(offset));
                                      file->read(buffer, static_cast<std::streamsize>(std::min(length, sizeof buffer)));
                                      return file->gcount() > 0 &&
                                             sink.write(buffer, static_cast<std::size_t>(file->gcount()));
                                  });
}

void HttpRoutes::Stream(httplib::Response& response) {
    FrameHub::Ticket ticket = hub_.Admit();
    if (!ticket) {
        response.set_header("Retry-After", "1");
        return Refuse(response, 503, "too many viewers at once; try again shortly");
    }
    streamer_.Answer(response, std::move(ticket));
}

}  // namespace calidra::tool
